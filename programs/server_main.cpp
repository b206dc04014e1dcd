// vornhalzanthery-server: the presence server program. One UDP socket, a loop that waits briefly for
// datagrams, hands them to the server logic and sends what it produces; a stop request (Ctrl+C,
// SIGTERM) sends ServerBye to everyone before the process ends.
#include <iterator>

#include "base/clock.h"
#include "base/console_window.h"
#include "base/log.h"
#include "base/options.h"
#include "base/stop_signals.h"
#include "protocol/release_number.h"
#include "server/join_addresses.h"
#include "server/presence_server.h"
#include "sockets/local_addresses.h"
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
        char line[ServerEventLineCapacity];
        formatServerEvent(output.events[i], line, sizeof line);
        logLine("%s", line);
    }
}

// The addresses a friend writes into "server.txt", one a line.
void printJoinAddresses(const PeerAddress& local) {
    uint32_t machine[JoinAddressCapacity];
    int count = local.ip != 0 ? 0 : listLocalIpv4Addresses(machine, JoinAddressCapacity);
    PeerAddress addresses[JoinAddressCapacity];
    int shown = addressesToJoin(machine, count, local.ip, local.port, addresses, JoinAddressCapacity);
    for (int i = 0; i < shown; ++i) {
        char text[32];
        formatPeerAddress(addresses[i], text, sizeof text);
        logLine("players join with \"server.txt\" holding %s", text);
    }
}

// A start that failed: the line saying why stays readable in a console opened for this program alone.
int failedStart() {
    holdOwnConsoleUntilKey();
    return 1;
}

}  // namespace

int main(int argumentCount, char** arguments) {
    logToStandardOutput();
    long port;
    const char* bindText;
    bool helpAsked, versionAsked;
    const Option options[] = {
        {.name = "--port", .kind = OptionKind::Number, .valueName = "N", .help = "UDP port to listen on", .low = 1,
         .high = 65535, .defaultNumber = DefaultPresencePort, .number = &port},
        {.name = "--bind", .kind = OptionKind::Text, .valueName = "ADDRESS",
         .help = "local IPv4 address to listen on; 127.0.0.1 keeps the server to this machine",
         .defaultText = "0.0.0.0", .defaultMeaning = "0.0.0.0, every interface", .text = &bindText},
        {.name = "--version", .kind = OptionKind::Version, .help = "print the release number", .asked = &versionAsked},
        {.name = "--help", .alias = "-h", .kind = OptionKind::Help, .help = "this text", .asked = &helpAsked},
    };
    const OptionTable table = {
        .command = "vornhalzanthery-server",
        .messagePrefix = "server",
        .about = "The presence server of Vornhal: Zanthery: players who use the same server see one another.",
        .notes = "Players join it by writing this machine's address (and :port when not the default) "
                 "in \"server.txt\" beside the game. Ctrl+C stops it and tells every player.",
        .options = options,
        .optionCount = int(std::size(options)),
        .releaseNumber = BuiltInReleaseNumber,
    };
    int exitCode = 0;
    if (!takeProgramOptions(table, argumentCount, arguments, exitCode)) return exitCode;
    stampLogLines(!standardOutputGoesToJournal());
    keepConsoleFromBlocking();

    networkStarted = startSocketLayer();
    if (!networkStarted) {
        logLine("server: the socket layer did not start");
        return failedStart();
    }
    PeerAddress local;
    if (!resolveUdpAddress(bindText, "0", local)) {
        logLine("server: not an IPv4 address to listen on: %s", bindText);
        return failedStart();
    }
    local.port = uint16_t(port);
    SocketHandle socket = openUdpSocket();
    if (socket == NoSocket || !bindUdpSocket(socket, local)) {
        logLine("server: cannot listen on %s port %u (already in use?)", bindText, unsigned(port));
        return failedStart();
    }
    if (!setUdpReceiveBuffer(socket, ReceiveBufferBytes))
        logLine("server: the receive buffer stays at the system's size");
    installStopHandlers();
    logLine("listening on %s port %u", bindText, unsigned(port));
    printJoinAddresses(local);

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
    logLine("stopped: ServerBye sent to %d player(s)", output.datagramCount);
    closeUdpSocket(socket);
    stopSocketLayer();
    return 0;
}
