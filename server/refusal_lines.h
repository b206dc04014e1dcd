// Whether a join that a full room turned away earns a log line: an address at most once a minute,
// and no more than RefusalLinesPerMinute lines in any minute in all, so a flood of Hellos from forged
// addresses can flood neither the log nor the server's memory.
#pragma once
#include <cstdint>

#include "protocol/peer_address.h"

constexpr uint64_t RefusalLineIntervalMs = 60000;
constexpr int RefusalLinesPerMinute = 16;

struct RefusalLine {
    bool used;
    PeerAddress address;
    uint64_t atMs;
};

// The refusal lines of the last minute; a place whose line is older is free again.
struct RefusalLines {
    RefusalLine lines[RefusalLinesPerMinute];
};

// True when a refusal of from at nowMs is to be logged, which is then remembered: from was not
// logged within the last RefusalLineIntervalMs, and fewer than RefusalLinesPerMinute lines were.
bool refusalEarnsLine(RefusalLines& memory, const PeerAddress& from, uint64_t nowMs);
