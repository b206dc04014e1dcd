// libFuzzer target for the presence server's datagram handling: the input is a run of datagrams,
// each with a sender byte (one of eight addresses), a time step and a length byte, fed to the server
// logic with ticks between; every output must be well formed and addressed to a joined player.
#include <cstddef>
#include <cstdint>

#include "server/presence_server.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static PresenceServer server;
    static ServerOutput out;
    server = PresenceServer{};
    uint64_t now = 0;
    size_t at = 0;
    while (size - at >= 3) {
        PeerAddress from = {0x7F000001u, uint16_t(40000 + (data[at] & 7))};
        now += data[at + 1] * 30;  // up to 7.6 s: timeouts are reachable
        size_t length = data[at + 2];
        at += 3;
        if (length > size - at) length = size - at;
        serverReceive(server, from, data + at, length, now, out);
        if (out.datagramCount > 1 || out.eventCount > 1) __builtin_trap();
        at += length;
        serverTick(server, now, out);
        for (int i = 0; i < out.datagramCount; ++i) {
            RosterMessage roster;
            if (!decodeRoster(out.datagrams[i].bytes, out.datagrams[i].length, roster)) __builtin_trap();
            for (int r = 0; r < roster.count; ++r)
                if (roster.records[r].id >= ServerPlayerCapacity) __builtin_trap();
        }
    }
    serverShutdown(server, out);
    for (int i = 0; i < out.datagramCount; ++i)
        if (!decodeServerBye(out.datagrams[i].bytes, out.datagrams[i].length)) __builtin_trap();
    return 0;
}
