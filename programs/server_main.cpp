// vornhalzanthery-server: the presence server program. One UDP socket, a loop that waits briefly for
// datagrams, hands them to the server logic and sends what it produces; a stop request (Ctrl+C,
// SIGTERM) sends ServerBye to everyone before the process ends.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/clock.h"
#include "base/log.h"
#include "base/stop_signals.h"
#include "server/presence_server.h"
#include "sockets/socket_layer.h"
#include "sockets/udp_socket.h"

namespace {

// Enough for a burst from all players between two ticks; the rest waits for the next round.
constexpr int ReceivesPerRound = 1024;
constexpr int WaitMs = 5;
// Room for about a tenth of a second of a 50,000-a-second flood, so players' States still get through
// while the server waits for a core; the system's default holds a few milliseconds of it.
constexpr int ReceiveBufferBytes = 4 * 1024 * 1024;

// The server's state and its scratch output; live for the process.
PresenceServer server;
ServerOutput output;

void flushOutput(SocketHandle socket) {
    for (int i = 0; i < output.datagramCount; ++i) {
        const OutgoingDatagram& datagram = output.datagrams[i];
        sendDatagramTo(socket, datagram.bytes, datagram.length, datagram.to);
    }
    for (int i = 0; i < output.eventCount; ++i) {
        char address[32];
        formatPeerAddress(output.events[i].address, address, sizeof address);
        std::printf("player %d %s (%s)\n", output.events[i].id, serverEventName(output.events[i].kind), address);
    }
    if (output.eventCount) std::fflush(stdout);
}

void printHelp() {
    std::printf(
        "Usage: vornhalzanthery-server [--port N] [--bind ADDRESS]\n"
        "The presence server of Vornhal: Zanthery: players who use the same server see one another.\n"
        "  --port N          UDP port to listen on (default %u)\n"
        "  --bind ADDRESS    local IPv4 address to listen on (default 0.0.0.0, every interface;\n"
        "                    127.0.0.1 keeps the server to this machine)\n"
        "  --help            this text\n"
        "Players join it by writing this machine's address (and :port when not the default) in\n"
        "\"server.txt\" beside the game. Ctrl+C stops it and tells every player.\n",
        unsigned(DefaultPresencePort));
}

bool parsePort(const char* text, uint16_t& port) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (!*text || *end || value < 1 || value > 65535) return false;
    port = uint16_t(value);
    return true;
}

}  // namespace

int main(int argumentCount, char** arguments) {
    uint16_t port = DefaultPresencePort;
    const char* bindText = "0.0.0.0";
    for (int i = 1; i < argumentCount; ++i) {
        const char* option = arguments[i];
        const char* value = i + 1 < argumentCount ? arguments[i + 1] : nullptr;
        if (!std::strcmp(option, "--help") || !std::strcmp(option, "-h")) {
            printHelp();
            return 0;
        } else if (!std::strcmp(option, "--port") && value) {
            if (!parsePort(value, port)) {
                logLine("server: not a port number: %s", value);
                return 2;
            }
            ++i;
        } else if (!std::strcmp(option, "--bind") && value) {
            bindText = value;
            ++i;
        } else {
            logLine("server: unknown option or missing value: %s (see --help)", option);
            return 2;
        }
    }

    networkStarted = startSocketLayer();
    if (!networkStarted) {
        logLine("server: the socket layer did not start");
        return 1;
    }
    PeerAddress local;
    if (!resolveUdpAddress(bindText, "0", local)) {
        logLine("server: not an IPv4 address to listen on: %s", bindText);
        return 1;
    }
    local.port = port;
    SocketHandle socket = openUdpSocket();
    if (socket == NoSocket || !bindUdpSocket(socket, local)) {
        logLine("server: cannot listen on %s port %u (already in use?)", bindText, unsigned(port));
        return 1;
    }
    if (!setUdpReceiveBuffer(socket, ReceiveBufferBytes))
        logLine("server: the receive buffer stays at the system's size");
    installStopHandlers();
    std::printf("listening on %s port %u\n", bindText, unsigned(port));
    std::fflush(stdout);

    uint8_t buffer[PresenceDatagramCapacity];
    while (!stopRequested()) {
        waitForDatagram(socket, WaitMs);
        for (int i = 0; i < ReceivesPerRound && !stopRequested(); ++i) {
            size_t length = 0;
            PeerAddress from;
            ReceiveResult result = receiveDatagram(socket, buffer, sizeof buffer, length, &from);
            if (result == ReceiveResult::NothingWaiting) break;
            if (result != ReceiveResult::Datagram) continue;  // oversized or an error: nothing to use
            serverReceive(server, from, buffer, length, monotonicMs(), output);
            flushOutput(socket);
        }
        serverTick(server, monotonicMs(), output);
        flushOutput(socket);
    }

    serverShutdown(server, output);
    flushOutput(socket);
    std::printf("stopped: ServerBye sent to %d player(s)\n", output.datagramCount);
    std::fflush(stdout);
    closeUdpSocket(socket);
    stopSocketLayer();
    return 0;
}
