// The presence client's cost per pump with a full roster: a 16-record Roster waiting on a real
// loopback socket, received, merged and answered with a State, as one frame does it; and the merge
// alone, without the socket.
#include <benchmark/benchmark.h>

#include "presence/presence_client.h"
#include "sockets/socket_layer.h"
#include "sockets/udp_socket.h"

namespace {

// Sixteen players spread over the room, the same every time.
RosterMessage fullRoster() {
    RosterMessage roster = {};
    roster.count = RemotePlayerSlots;
    for (int i = 0; i < RemotePlayerSlots; ++i)
        roster.records[i] = RosterRecord{uint8_t(i), {float(i % 4) * 2.0f - 3.0f, 0.0f, float(i / 4) * 2.0f - 3.0f,
                                                      0.1f * float(i), uint8_t(i & 1)}};
    return roster;
}

void pumpWithFullRoster(benchmark::State& state) {
    networkStarted = startSocketLayer();
    SocketHandle server = openUdpSocket();
    PeerAddress serverAddress = {};
    bindUdpSocket(server, PeerAddress{0x7F000001u, 0});
    udpSocketLocalAddress(server, serverAddress);
    char address[32];
    formatPeerAddress(serverAddress, address, sizeof address);

    PresenceClient client;
    RemotePlayerTable table = {};
    connectPresenceClient(client, table, address, 0);
    uint8_t welcome[WelcomeLength];
    encodeWelcome(16 - 1, welcome);
    PeerAddress clientAddress = {};
    udpSocketLocalAddress(client.socket, clientAddress);
    sendDatagramTo(server, welcome, sizeof welcome, clientAddress);
    uint8_t roster[PresenceDatagramCapacity];
    size_t rosterLength = encodeRoster(fullRoster(), roster, sizeof roster);
    const PlayerState pose = {1.0f, 0.0f, 1.0f, 0.0f, 0};

    uint64_t now = 1000;
    uint8_t drain[PresenceDatagramCapacity];
    for (auto _ : state) {
        state.PauseTiming();
        sendDatagramTo(server, roster, rosterLength, clientAddress);
        size_t length;
        while (receiveDatagram(server, drain, sizeof drain, length) == ReceiveResult::Datagram) {
        }
        state.ResumeTiming();
        now += 34;  // a State is due on every pump
        pumpPresenceClient(client, table, pose, now);
    }
    if (!client.connected || !table.slots[0].active) state.SkipWithError("the client did not join");
    disconnectPresenceClient(client, table);
    closeUdpSocket(server);
}
BENCHMARK(pumpWithFullRoster);

void mergeFullRoster(benchmark::State& state) {
    uint8_t roster[PresenceDatagramCapacity];
    size_t rosterLength = encodeRoster(fullRoster(), roster, sizeof roster);
    PresenceClient client;
    client.connected = true;
    client.ownId = 15;
    RemotePlayerTable table = {};
    uint64_t now = 0;
    for (auto _ : state) {
        applyServerDatagram(client, table, roster, rosterLength, ++now);
        benchmark::DoNotOptimize(table.slots[3].target);
    }
}
BENCHMARK(mergeFullRoster);

void pumpWithNothingWaiting(benchmark::State& state) {
    networkStarted = startSocketLayer();
    PresenceClient client;
    RemotePlayerTable table = {};
    connectPresenceClient(client, table, "127.0.0.1:9", 0);  // the discard port: nothing ever answers
    const PlayerState pose = {};
    uint64_t now = 0;
    for (auto _ : state) pumpPresenceClient(client, table, pose, ++now);
    disconnectPresenceClient(client, table);
}
BENCHMARK(pumpWithNothingWaiting);

}  // namespace
