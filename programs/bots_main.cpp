// vornhalzanthery-bots: joins a number of bot players to a presence server, each a real presence
// client walking the room with the real movement step, for demos and load tests. Ends on Ctrl+C,
// SIGTERM or after --seconds, saying Bye for every bot.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <thread>

#include "base/clock.h"
#include "base/log.h"
#include "base/options.h"
#include "base/stop_signals.h"
#include "bots/bot_walk.h"
#include "presence/presence_client.h"
#include "protocol/release_number.h"
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

PlayerState poseOf(const LocalPlayer& player) {
    return PlayerState{player.x, player.y, player.z, player.yaw, uint8_t(player.crouching ? 1 : 0)};
}

}  // namespace

int main(int argumentCount, char** arguments) {
    logToStandardOutput();
    const char* server;
    long count, rate, seconds;
    bool helpAsked, versionAsked;
    char serverDefault[48];
    std::snprintf(serverDefault, sizeof serverDefault, "%s, port %u", DefaultServerAddress,
                  unsigned(DefaultPresencePort));
    const Option options[] = {
        {.name = "--server", .kind = OptionKind::Text, .valueName = "ADDRESS",
         .help = "host or host:port of the server", .defaultText = DefaultServerAddress, .defaultMeaning = serverDefault, .text = &server},
        {.name = "--count", .kind = OptionKind::Number, .valueName = "N", .help = "how many bots", .low = 1,
         .high = BotCapacity, .defaultNumber = 2, .number = &count},
        {.name = "--rate", .kind = OptionKind::Number, .valueName = "HZ",
         .help = "steps and pose updates a second (a pose goes out at most every 33 ms)", .low = 1, .high = 60,
         .defaultNumber = 30, .number = &rate},
        {.name = "--seconds", .kind = OptionKind::Number, .valueName = "S", .help = "stop after S seconds", .low = 1,
         .high = 24L * 3600, .defaultNumber = 0, .defaultMeaning = "none: run until Ctrl+C", .number = &seconds},
        {.name = "--version", .kind = OptionKind::Version, .help = "print the release number", .asked = &versionAsked},
        {.name = "--help", .alias = "-h", .kind = OptionKind::Help, .help = "this text", .asked = &helpAsked},
    };
    const OptionTable table = {
        .command = "vornhalzanthery-bots",
        .messagePrefix = "bots",
        .about = "Joins N bot players to a Vornhal: Zanthery presence server; they walk, run, crouch and "
                 "jump about the room.",
        .notes = nullptr,
        .options = options,
        .optionCount = int(std::size(options)),
        .releaseNumber = BuiltInReleaseNumber,
    };
    int exitCode = 0;
    if (!takeProgramOptions(table, argumentCount, arguments, exitCode)) return exitCode;

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
    logLine("%ld bot(s) joining %s at %ld Hz", count, server, rate);

    const float frame = 1.0f / float(rate);
    const int steps = int(std::ceil(frame / LongestStep));
    const uint64_t periodNs = uint64_t(1000000 / rate) * 1000;
    uint64_t nextNs = steadyNanoseconds();
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
        nextNs += periodNs;
        uint64_t nowNs = steadyNanoseconds();
        if (nextNs > nowNs) std::this_thread::sleep_for(std::chrono::nanoseconds(nextNs - nowNs));
    }
    int wholeTime = 0;
    for (int i = 0; i < count; ++i) {
        wholeTime += bots[i].everJoined && !bots[i].lostAfterJoining ? 1 : 0;
        disconnectPresenceClient(bots[i].client, bots[i].table);
    }
    // Load tests read this line: a bot that never joined or lost its id counts against it.
    logLine("joined the whole time: %d of %ld", wholeTime, count);
    logLine("bots left");
    return 0;
}
