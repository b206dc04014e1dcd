// The full room's refusal lines: which refusals are logged.
#include "server/refusal_lines.h"

bool refusalEarnsLine(RefusalLines& memory, const PeerAddress& from, uint64_t nowMs) {
    RefusalLine* freePlace = nullptr;
    for (RefusalLine& line : memory.lines) {
        bool recent = line.used && nowMs - line.atMs < RefusalLineIntervalMs;
        if (recent && samePeer(line.address, from)) return false;
        if (!recent && !freePlace) freePlace = &line;
    }
    if (!freePlace) return false;  // a minute's worth of lines already
    *freePlace = RefusalLine{true, from, nowMs};
    return true;
}
