// vornhalzanthery-bots: joins a number of bot players to a presence server, each a real presence
// client walking the room with the real movement step, for demos and load tests. Ends on Ctrl+C,
// SIGTERM or after --seconds, saying Bye for every bot.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "base/clock.h"
#include "base/log.h"
#include "base/stop_signals.h"
#include "bots/bot_walk.h"
#include "presence/presence_client.h"
#include "sockets/socket_layer.h"
#include "world/movement.h"

namespace {

constexpr int BotCapacity = RemotePlayerSlots;  // more could never all join one server
constexpr float LongestStep = 0.05f;            // the movement step's own limit on dt

struct Bot {
    PresenceClient client;
    RemotePlayerTable table;  // what this bot hears; kept because the client merges into it
    LocalPlayer player;
    BotMind mind;
    bool everJoined;
    bool lostAfterJoining;  // its id dropped once given: a timeout or a ServerBye
};

// The bots; live for the process.
Bot bots[BotCapacity];

void printHelp() {
    std::printf(
        "Usage: vornhalzanthery-bots [--server ADDRESS] [--count N] [--rate HZ] [--seconds S]\n"
        "Joins N bot players to a Vornhal: Zanthery presence server; they walk, run, crouch and jump\n"
        "about the room.\n"
        "  --server ADDRESS  host or host:port of the server (default %s, port %u)\n"
        "  --count N         how many bots, 1 to %d (default 2)\n"
        "  --rate HZ         steps and pose updates a second, 1 to 60 (default 30; a pose goes out\n"
        "                    at most every 33 ms)\n"
        "  --seconds S       stop after S seconds (default: run until Ctrl+C)\n"
        "  --help            this text\n",
        DefaultServerAddress, unsigned(DefaultPresencePort), BotCapacity);
}

bool parseNumber(const char* text, long low, long high, long& out) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (!*text || *end || value < low || value > high) return false;
    out = value;
    return true;
}

PlayerState poseOf(const LocalPlayer& player) {
    return PlayerState{player.x, player.y, player.z, player.yaw, uint8_t(player.crouching ? 1 : 0)};
}

}  // namespace

int main(int argumentCount, char** arguments) {
    const char* server = DefaultServerAddress;
    long count = 2, rate = 30, seconds = 0;
    for (int i = 1; i < argumentCount; ++i) {
        const char* option = arguments[i];
        const char* value = i + 1 < argumentCount ? arguments[i + 1] : nullptr;
        bool ok = true;
        if (!std::strcmp(option, "--help") || !std::strcmp(option, "-h")) {
            printHelp();
            return 0;
        } else if (!std::strcmp(option, "--server") && value) {
            server = value;
        } else if (!std::strcmp(option, "--count") && value) {
            ok = parseNumber(value, 1, BotCapacity, count);
        } else if (!std::strcmp(option, "--rate") && value) {
            ok = parseNumber(value, 1, 60, rate);
        } else if (!std::strcmp(option, "--seconds") && value) {
            ok = parseNumber(value, 1, 24L * 3600, seconds);
        } else {
            logLine("bots: unknown option or missing value: %s (see --help)", option);
            return 2;
        }
        if (!ok) {
            logLine("bots: value out of range for %s: %s (see --help)", option, value);
            return 2;
        }
        ++i;
    }

    networkStarted = startSocketLayer();
    installStopHandlers();

    uint64_t start = monotonicMs();
    for (int i = 0; i < count; ++i) {
        Bot& bot = bots[i];
        placeAtSpawn(bot.player, start + uint64_t(i) * 7);  // seven ticks apart: distinct spawn points
        startBotMind(bot.mind, (0x9E3779B9u * uint32_t(i + 1)) ^ uint32_t(start));
        if (!connectPresenceClient(bot.client, bot.table, server, start)) {
            logLine("bots: cannot reach %s (does the name resolve?)", server);
            return 1;
        }
    }
    std::printf("%ld bot(s) joining %s at %ld Hz\n", count, server, rate);
    std::fflush(stdout);

    const float frame = 1.0f / float(rate);
    const int steps = int(std::ceil(frame / LongestStep));
    const auto period = std::chrono::microseconds(1000000 / rate);
    auto next = std::chrono::steady_clock::now();
    while (!stopRequested() && (seconds == 0 || monotonicMs() - start < uint64_t(seconds) * 1000)) {
        uint64_t now = monotonicMs();
        for (int i = 0; i < count; ++i) {
            Bot& bot = bots[i];
            pumpPresenceClient(bot.client, bot.table, poseOf(bot.player), now);
            if (bot.client.connected)
                bot.everJoined = true;
            else if (bot.everJoined)
                bot.lostAfterJoining = true;
            for (int s = 0; s < steps; ++s) {
                float dt = frame / float(steps);
                stepLocalPlayer(bot.player, botInput(bot.mind, bot.player, dt), dt);
            }
        }
        next += period;
        std::this_thread::sleep_until(next);
    }
    int wholeTime = 0;
    for (int i = 0; i < count; ++i) {
        wholeTime += bots[i].everJoined && !bots[i].lostAfterJoining ? 1 : 0;
        disconnectPresenceClient(bots[i].client, bots[i].table);
    }
    // Load tests read this line: a bot that never joined or lost its id counts against it.
    std::printf("joined the whole time: %d of %ld\n", wholeTime, count);
    std::printf("bots left\n");
    return 0;
}
