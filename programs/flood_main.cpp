// vornhalzanthery-flood: a bench tool that floods a presence server, or a presence client, on this
// machine with malformed datagrams and forged-source Hellos, bounded in rate and time, and prints what
// came back. It sends only to loopback (127.0.0.0/8) and refuses any other target.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>
#include <thread>

#include "base/clock.h"
#include "base/log.h"
#include "base/options.h"
#include "base/stop_signals.h"
#include "protocol/address.h"
#include "protocol/messages.h"
#include "sockets/socket_layer.h"
#include "sockets/udp_socket.h"

namespace {

constexpr long RateLimit = 200000;  // datagrams a second
constexpr long SecondsLimit = 60;
// Forged sources each need a socket of their own to hear what the server sends them; kept well under
// the common limit of 1024 open files by default.
constexpr long SpoofedCapacity = 4096;
constexpr long DefaultSpoofed = 900;
constexpr int RepeatedHelloEvery = 50;  // one datagram in this many is a Hello from the repeating address
constexpr int DrainIntervalMs = 100;
constexpr int AnswerGraceMs = 500;  // how long answers are awaited after the last datagram sent
constexpr int JoinWaitMs = 10000;   // how long a client is awaited in --serve mode
constexpr int FakeRosterPlayers = 4;
constexpr uint64_t FakeRosterIntervalMs = 40;
constexpr size_t OversizedLength = 600;  // longer than any datagram either side reads
constexpr uint32_t LoopbackNet = 0x7F000000u;

// What arrived at one socket, by type.
struct AnswerCounts {
    long welcome;
    long roster;
    long serverBye;
    long other;
};

long answerTotal(const AnswerCounts& counts) {
    return counts.welcome + counts.roster + counts.serverBye + counts.other;
}

// The sockets and their counts; live for the process.
SocketHandle mainSocket = NoSocket;
SocketHandle repeatSocket = NoSocket;
SocketHandle spoofedSockets[SpoofedCapacity];
AnswerCounts spoofedCounts[SpoofedCapacity];
AnswerCounts mainCounts;
AnswerCounts repeatCounts;

bool isLoopback(uint32_t ip) { return (ip & 0xFF000000u) == LoopbackNet; }

// 127.1.x.y with y never 0 or 255, so no address looks like a network or broadcast one.
uint32_t spoofedAddress(long index) { return 0x7F010000u | uint32_t(index / 254) << 8 | uint32_t(index % 254 + 1); }

// A socket bound to the given loopback address and any free port; NoSocket when it cannot be made.
SocketHandle openBoundSocket(uint32_t ip, uint16_t port) {
    SocketHandle socket = openUdpSocket();
    if (socket == NoSocket) return NoSocket;
    if (!bindUdpSocket(socket, PeerAddress{ip, port})) {
        closeUdpSocket(socket);
        return NoSocket;
    }
    return socket;
}

void countAnswers(SocketHandle socket, AnswerCounts& counts) {
    uint8_t buffer[PresenceDatagramCapacity];
    for (;;) {
        size_t length = 0;
        ReceiveResult result = receiveDatagram(socket, buffer, sizeof buffer, length);
        if (result == ReceiveResult::NothingWaiting || result == ReceiveResult::Failed) return;
        if (result == ReceiveResult::TooLong || length == 0) {
            ++counts.other;
            continue;
        }
        switch (buffer[0]) {
        case WelcomeType: ++counts.welcome; break;
        case RosterType: ++counts.roster; break;
        case ServerByeType: ++counts.serverBye; break;
        default: ++counts.other; break;
        }
    }
}

void drainServerAnswers(long spoofedCount) {
    countAnswers(mainSocket, mainCounts);
    countAnswers(repeatSocket, repeatCounts);
    for (long i = 0; i < spoofedCount; ++i) countAnswers(spoofedSockets[i], spoofedCounts[i]);
}

// The junk sent to a server, chosen by the datagram's number; none of it is a valid message from a
// joined player. Returns the length written into bytes (at least OversizedLength long).
size_t serverJunk(long number, uint8_t* bytes) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float huge[] = {3.0e38f, -1.0e30f, std::numeric_limits<float>::infinity()};
    uint8_t state[StateLength];
    switch (number % 10) {
    case 0: return 0;
    case 1: {  // a type letter the server does not know, of any length
        static const uint8_t unknown[] = {'A', 'a', 'C', 'h', 's', 'X', 0, 0xFF};
        size_t length = 1 + size_t(number / 10 % 40);
        std::memset(bytes, 0x5A, length);
        bytes[0] = unknown[number / 10 % sizeof unknown];
        return length;
    }
    case 2: {  // a Hello one byte short or one byte long
        uint8_t hello[HelloLength];
        encodeHello(hello);
        std::memcpy(bytes, hello, HelloLength);
        bytes[HelloLength] = '!';
        return number / 10 % 2 ? HelloLength + 1 : HelloLength - 1;
    }
    case 3:  // a Hello with the wrong magic
        std::memcpy(bytes, "H1ZOX", HelloLength);
        return HelloLength;
    case 4:  // a State one byte short or long
        encodeState(PlayerState{1, 0, 1, 0, 0}, state);
        std::memcpy(bytes, state, StateLength);
        bytes[StateLength] = 0;
        return number / 10 % 2 ? StateLength + 1 : StateLength - 1;
    case 5:  // longer than the server reads
        std::memset(bytes, StateType, OversizedLength);
        return OversizedLength;
    case 6:
        encodeState(PlayerState{nan, 0, nan, 0, 0}, state);
        std::memcpy(bytes, state, StateLength);
        return StateLength;
    case 7:
        encodeState(PlayerState{huge[number / 10 % 3], huge[number / 10 % 3], -huge[number / 10 % 3], 0, 1}, state);
        std::memcpy(bytes, state, StateLength);
        return StateLength;
    case 8:  // a Bye from an address that never joined
        bytes[0] = ByeType;
        return ByeLength;
    default:  // the server's own messages sent back to it
        bytes[0] = number / 10 % 2 ? WelcomeType : RosterType;
        bytes[1] = 0;
        return 2;
    }
}

// Sends rate datagrams a second for the given seconds, or stops at the time bound when the machine
// cannot keep up; send(n) sends datagram n. Returns how many went out and the milliseconds taken.
template <typename SendOne, typename Between>
long floodFor(long rate, long seconds, SendOne send, Between between, double& elapsedMs) {
    const long total = rate * seconds;
    const uint64_t startNs = steadyNanoseconds();
    const uint64_t endNs = startNs + uint64_t(seconds) * 1000000000;
    long sent = 0;
    uint64_t nowNs = startNs;
    while (sent < total && nowNs < endNs && !stopRequested()) {
        double elapsed = double(nowNs - startNs) / 1e9;
        long due = long(elapsed * double(rate)) + 1;
        if (due > total) due = total;
        while (sent < due) send(sent++);
        between();
        std::this_thread::sleep_for(std::chrono::microseconds(500));
        nowNs = steadyNanoseconds();
    }
    elapsedMs = double(nowNs - startNs) / 1e6;
    return sent;
}

int floodServer(const PeerAddress& server, long rate, long seconds, long spoofedWanted) {
    mainSocket = openBoundSocket(0x7F000001u, 0);
    repeatSocket = openBoundSocket(0x7F020001u, 0);
    if (mainSocket == NoSocket || repeatSocket == NoSocket) {
        logLine("flood: cannot open loopback sockets");
        return 1;
    }
    long spoofed = 0;
    while (spoofed < spoofedWanted) {
        SocketHandle socket = openBoundSocket(spoofedAddress(spoofed), 0);
        if (socket == NoSocket) break;
        spoofedSockets[spoofed++] = socket;
    }
    if (spoofed < spoofedWanted)
        logLine("flood: only %ld of %ld forged addresses could be opened (the open-file limit?)", spoofed,
                spoofedWanted);

    const long total = rate * seconds;
    // The forged Hellos spread evenly over the flood.
    const long spoofedEvery = spoofed > 0 ? (total / spoofed > 1 ? total / spoofed : 1) : 0;
    long spoofedSent = 0, repeatedSent = 0, junkSent = 0;
    uint8_t hello[HelloLength];
    encodeHello(hello);
    uint8_t junk[OversizedLength];
    uint64_t lastDrainMs = monotonicMs();

    auto send = [&](long n) {
        if (spoofedEvery && n % spoofedEvery == 0 && spoofedSent < spoofed) {
            sendDatagramTo(spoofedSockets[spoofedSent++], hello, HelloLength, server);
        } else if (n % RepeatedHelloEvery == 1) {
            sendDatagramTo(repeatSocket, hello, HelloLength, server);
            ++repeatedSent;
        } else {
            sendDatagramTo(mainSocket, junk, serverJunk(n, junk), server);
            ++junkSent;
        }
    };
    auto between = [&] {
        uint64_t now = monotonicMs();
        if (now - lastDrainMs < DrainIntervalMs) return;
        lastDrainMs = now;
        drainServerAnswers(spoofed);
    };
    double elapsedMs = 0;
    long sent = floodFor(rate, seconds, send, between, elapsedMs);
    std::this_thread::sleep_for(std::chrono::milliseconds(AnswerGraceMs));
    drainServerAnswers(spoofed);

    AnswerCounts atSpoofed = {};
    long most = 0, overOne = 0;
    for (long i = 0; i < spoofed; ++i) {
        const AnswerCounts& c = spoofedCounts[i];
        atSpoofed.welcome += c.welcome;
        atSpoofed.roster += c.roster;
        atSpoofed.serverBye += c.serverBye;
        atSpoofed.other += c.other;
        long all = answerTotal(c);
        most = all > most ? all : most;
        overOne += all > 1 ? 1 : 0;
    }
    logLine("sent %ld datagrams in %.2f s: %.0f a second (asked %ld)", sent, elapsedMs / 1000.0,
            elapsedMs > 0 ? double(sent) * 1000.0 / elapsedMs : 0.0, rate);
    logLine("forged Hellos %ld, one from each address: back Welcome %ld, Roster %ld, ServerBye %ld, other %ld; "
            "most at one address %ld, addresses with more than one %ld",
            spoofedSent, atSpoofed.welcome, atSpoofed.roster, atSpoofed.serverBye, atSpoofed.other, most, overOne);
    logLine("repeated Hellos %ld from one address: back Welcome %ld, other %ld", repeatedSent, repeatCounts.welcome,
            answerTotal(repeatCounts) - repeatCounts.welcome);
    logLine("malformed %ld from one address: back %ld", junkSent, answerTotal(mainCounts));

    for (long i = 0; i < spoofed; ++i) closeUdpSocket(spoofedSockets[i]);
    closeUdpSocket(repeatSocket);
    closeUdpSocket(mainSocket);
    return 0;
}

// The players the fake server lists: ids 1 to FakeRosterPlayers in a row before the spawn circle.
RosterRecord fakePlayer(int i) {
    return RosterRecord{uint8_t(i + 1), {float(i) - 1.5f, 0, 2.0f, 0.5f * float(i), uint8_t(i & 1)}};
}

// The junk sent to a client, chosen by the datagram's number; none of it may change what it shows.
size_t clientJunk(long number, uint8_t* bytes) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    switch (number % 8) {
    case 0: return 0;
    case 1:  // a Welcome with an id out of range, or of the wrong length
        bytes[0] = WelcomeType;
        bytes[1] = uint8_t(RemotePlayerSlots + number / 8 % 200);
        bytes[2] = 0;
        return number / 16 % 2 ? 3 : 2;
    case 2: {  // a roster whose count and length disagree
        bytes[0] = RosterType;
        bytes[1] = uint8_t(1 + number / 8 % 20);
        size_t length = RosterHeaderLength + RosterRecordLength * (number / 8 % 3);
        std::memset(bytes + RosterHeaderLength, 0, length - RosterHeaderLength);
        return length;
    }
    case 3: {  // a well-formed roster of the real players plus ids out of range and non-finite places
        RosterMessage roster = {};
        for (int i = 0; i < FakeRosterPlayers; ++i) roster.records[roster.count++] = fakePlayer(i);
        roster.records[roster.count++] = RosterRecord{uint8_t(RemotePlayerSlots + number % 7), {1, 0, 1, 0, 0}};
        roster.records[roster.count++] = RosterRecord{uint8_t(FakeRosterPlayers + 2), {nan, 0, nan, 0, 0}};
        return encodeRoster(roster, bytes, PresenceDatagramCapacity);
    }
    case 4:
        std::memset(bytes, RosterType, OversizedLength);
        return OversizedLength;
    case 5:  // the client's own messages sent back to it
        bytes[0] = number / 8 % 2 ? HelloType : StateType;
        return 1;
    case 6:
        bytes[0] = uint8_t('a' + number / 8 % 26);
        return 1 + size_t(number / 8 % 30);
    default:
        bytes[0] = RosterType;
        return 1;
    }
}

int floodClient(uint16_t port, long rate, long seconds) {
    mainSocket = openBoundSocket(0x7F000001u, port);
    if (mainSocket == NoSocket) {
        logLine("flood: cannot listen on 127.0.0.1 port %u (already in use?)", unsigned(port));
        return 1;
    }
    logLine("serving on 127.0.0.1 port %u, waiting up to %d s for a client", unsigned(port), JoinWaitMs / 1000);

    uint8_t buffer[PresenceDatagramCapacity];
    PeerAddress client = {};
    bool joined = false;
    uint64_t waitStart = monotonicMs();
    while (!joined && !stopRequested() && monotonicMs() - waitStart < JoinWaitMs) {
        waitForDatagram(mainSocket, 50);
        size_t length = 0;
        PeerAddress from;
        if (receiveDatagram(mainSocket, buffer, sizeof buffer, length, &from) == ReceiveResult::Datagram &&
            decodeHello(buffer, length) && isLoopback(from.ip)) {
            client = from;
            joined = true;
        }
    }
    if (!joined) {
        logLine("flood: no client said Hello within %d s", JoinWaitMs / 1000);
        closeUdpSocket(mainSocket);
        return 1;
    }

    uint8_t welcome[WelcomeLength];
    encodeWelcome(0, welcome);
    sendDatagramTo(mainSocket, welcome, sizeof welcome, client);
    RosterMessage roster = {};
    roster.count = FakeRosterPlayers;
    for (int i = 0; i < FakeRosterPlayers; ++i) roster.records[i] = fakePlayer(i);
    uint8_t rosterBytes[PresenceDatagramCapacity];
    size_t rosterLength = encodeRoster(roster, rosterBytes, sizeof rosterBytes);

    long rosters = 0, states = 0, hellos = 0;
    uint64_t lastRosterMs = 0;
    uint8_t junk[OversizedLength];
    auto send = [&](long n) { sendDatagramTo(mainSocket, junk, clientJunk(n, junk), client); };
    auto between = [&] {
        uint64_t now = monotonicMs();
        if (now - lastRosterMs >= FakeRosterIntervalMs) {
            lastRosterMs = now;
            sendDatagramTo(mainSocket, rosterBytes, rosterLength, client);
            ++rosters;
        }
        for (int i = 0; i < 256; ++i) {
            size_t length = 0;
            PeerAddress from;
            ReceiveResult result = receiveDatagram(mainSocket, buffer, sizeof buffer, length, &from);
            if (result == ReceiveResult::NothingWaiting) break;
            if (result != ReceiveResult::Datagram || !samePeer(from, client)) continue;
            if (decodeHello(buffer, length)) {
                ++hellos;
                sendDatagramTo(mainSocket, welcome, sizeof welcome, client);
            } else if (length == StateLength && buffer[0] == StateType) {
                ++states;
            }
        }
    };
    double elapsedMs = 0;
    long sent = floodFor(rate, seconds, send, between, elapsedMs);
    // The client's buffer is likely full of junk: let it drain first, or the ServerBye is dropped.
    std::this_thread::sleep_for(std::chrono::milliseconds(AnswerGraceMs));
    uint8_t bye[ServerByeLength];
    encodeServerBye(bye);
    sendDatagramTo(mainSocket, bye, sizeof bye, client);

    char address[32];
    formatPeerAddress(client, address, sizeof address);
    logLine("client %s: sent %ld junk datagrams in %.2f s: %.0f a second (asked %ld); %ld rosters of %d "
            "players; heard %ld States and %ld Hellos after the first; ServerBye at the end",
            address, sent, elapsedMs / 1000.0, elapsedMs > 0 ? double(sent) * 1000.0 / elapsedMs : 0.0, rate,
            rosters, FakeRosterPlayers, states, hellos);
    closeUdpSocket(mainSocket);
    return 0;
}

}  // namespace

int main(int argumentCount, char** arguments) {
    logToStandardOutput();
    const char* serverText;
    long rate, seconds, spoofed, servePort;
    bool helpAsked;
    char serverDefault[32], serveHelp[192];
    std::snprintf(serverDefault, sizeof serverDefault, "127.0.0.1:%u", unsigned(DefaultPresencePort));
    std::snprintf(serveHelp, sizeof serveHelp,
                  "instead act as a server on 127.0.0.1:PORT: welcome the first client, send it a roster of %d "
                  "players %d times a second and junk at --rate",
                  FakeRosterPlayers, int(1000 / FakeRosterIntervalMs));
    const Option options[] = {
        {.name = "--server", .kind = OptionKind::Text, .valueName = "ADDRESS",
         .help = "flood the server at 127.x.y.z[:port]", .defaultText = "127.0.0.1", .defaultMeaning = serverDefault,
         .text = &serverText},
        {.name = "--serve", .kind = OptionKind::Number, .valueName = "PORT", .help = serveHelp, .low = 1, .high = 65535,
         .defaultNumber = 0, .defaultMeaning = "none: flood a server", .number = &servePort},
        {.name = "--rate", .kind = OptionKind::Number, .valueName = "N", .help = "datagrams a second", .low = 1,
         .high = RateLimit, .defaultNumber = 10000, .number = &rate},
        {.name = "--seconds", .kind = OptionKind::Number, .valueName = "S", .help = "how long to flood", .low = 1,
         .high = SecondsLimit, .defaultNumber = 5, .number = &seconds},
        {.name = "--spoofed", .kind = OptionKind::Number, .valueName = "N",
         .help = "forged source addresses (127.1.x.y), each sending one Hello and each needing an open file",
         .low = 0, .high = SpoofedCapacity, .defaultNumber = DefaultSpoofed, .number = &spoofed},
        {.name = "--help", .alias = "-h", .kind = OptionKind::Help, .help = "this text", .asked = &helpAsked},
    };
    const OptionTable table = {
        .command = "vornhalzanthery-flood",
        .messagePrefix = "flood",
        .about = "Floods a Vornhal: Zanthery presence server or client on this machine with malformed "
                 "datagrams and forged-source Hellos, then prints what came back. Loopback targets only.",
        .notes = nullptr,
        .options = options,
        .optionCount = int(std::size(options)),
    };
    int exitCode = 0;
    if (!takeProgramOptions(table, argumentCount, arguments, exitCode)) return exitCode;

    networkStarted = startSocketLayer();
    if (!networkStarted) {
        logLine("flood: the socket layer did not start");
        return 1;
    }
    installStopHandlers();
    int result;
    if (servePort) {
        result = floodClient(uint16_t(servePort), rate, seconds);
    } else {
        SplitAddress split;
        PeerAddress server;
        if (!splitPresenceAddress(serverText, split) || !resolveUdpAddress(split.host, split.port, server)) {
            logLine("flood: cannot resolve %s", serverText);
            stopSocketLayer();
            return 2;
        }
        if (!isLoopback(server.ip)) {
            char address[32];
            formatPeerAddress(server, address, sizeof address);
            logLine("flood: refusing %s (%s): only loopback targets in 127.0.0.0/8 are flooded", serverText, address);
            stopSocketLayer();
            return 2;
        }
        result = floodServer(server, rate, seconds, spoofed);
    }
    stopSocketLayer();
    return result;
}
