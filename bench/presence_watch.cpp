// vz_presence_watch: a player for the bench that joins a presence server as the game does and steps
// 60 frames a second with the game's own time step and avatar smoothing, printing every remote slot's
// target and drawn position each frame, so a script can set the drawn path beside the real one.
// It stands still at one spot. Output, one record a line, times in ms on the steady clock:
//   port <local port>                     the port the server (or a relay) sees, once
//   joined <ms> <id> | fell-back <ms>     the client's joined state as it changes
//   frame <ms> <dt in s> <active slots>   every frame, followed by one line per active slot:
//   slot <id> <drawn x y z> <target x y z>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "app/app_state.h"
#include "app/remote_avatars.h"
#include "base/clock.h"
#include "base/stop_signals.h"
#include "presence/presence_client.h"
#include "sockets/socket_layer.h"
#include "sockets/udp_socket.h"

namespace {

constexpr auto FramePeriod = std::chrono::nanoseconds(1000000000 / 60);

// The watcher's client, what it hears, and the mesh the smoothing appends to; live for the process.
PresenceClient client;
RemotePlayerTable table;
SceneMesh mesh;

double nowMs() { return double(steadyNanoseconds()) * 1e-6; }

}  // namespace

int main(int argumentCount, char** arguments) {
    const char* server = nullptr;
    double seconds = 0;
    PlayerState pose = {-5.0f, 0.0f, -5.0f, 0.0f, 0};
    for (int i = 1; i + 1 < argumentCount; i += 2) {
        if (!std::strcmp(arguments[i], "--server")) server = arguments[i + 1];
        else if (!std::strcmp(arguments[i], "--seconds")) seconds = std::atof(arguments[i + 1]);
        else if (!std::strcmp(arguments[i], "--x")) pose.x = float(std::atof(arguments[i + 1]));
        else if (!std::strcmp(arguments[i], "--z")) pose.z = float(std::atof(arguments[i + 1]));
    }
    if (!server || seconds <= 0) {
        std::fprintf(stderr, "usage: vz_presence_watch --server ADDRESS --seconds S [--x X --z Z]\n");
        return 2;
    }
    networkStarted = startSocketLayer();
    installStopHandlers();
    uint64_t lastTickMs = monotonicMs();
    if (!connectPresenceClient(client, table, server, lastTickMs)) {
        std::fprintf(stderr, "presence_watch: cannot reach %s\n", server);
        return 1;
    }
    PeerAddress local = {};
    udpSocketLocalAddress(client.socket, local);
    std::printf("port %u\n", unsigned(local.port));
    std::fflush(stdout);  // read while the watcher runs

    const double endMs = nowMs() + seconds * 1000.0;
    bool wasJoined = false;
    int frames = 0;
    auto next = std::chrono::steady_clock::now();
    while (!stopRequested() && nowMs() < endMs) {
        uint64_t tick = monotonicMs();
        float dt = frameTimeStep(tick, lastTickMs);
        pumpPresenceClient(client, table, pose, tick);
        // Stamped after the pump: what it received, however late in the frame, is older than this.
        double frameMs = nowMs();
        if (client.connected != wasJoined) {
            if (client.connected) std::printf("joined %.3f %d\n", frameMs, int(client.ownId));
            else std::printf("fell-back %.3f\n", frameMs);
            wasJoined = client.connected;
        }
        mesh.count = 0;
        smoothAndAppendAvatars(table, dt, mesh);
        int active = 0;
        for (const RemotePlayer& slot : table.slots) active += slot.active ? 1 : 0;
        std::printf("frame %.3f %.4f %d\n", frameMs, double(dt), active);
        for (int id = 0; id < RemotePlayerSlots; ++id) {
            const RemotePlayer& slot = table.slots[id];
            if (!slot.active) continue;
            // %.9g: a float's shortest exact form, as the relay prints the poses it forwards.
            std::printf("slot %d %.9g %.9g %.9g %.9g %.9g %.9g\n", id, double(slot.smoothX), double(slot.smoothY),
                        double(slot.smoothZ), double(+slot.target.x), double(+slot.target.y), double(+slot.target.z));
        }
        ++frames;
        // Like a frame loop that keeps up: a late frame is not made up for with a burst of short ones.
        next += FramePeriod;
        auto now = std::chrono::steady_clock::now();
        if (next < now) next = now;
        std::this_thread::sleep_until(next);
    }
    disconnectPresenceClient(client, table);
    std::fprintf(stderr, "presence_watch: %d frames\n", frames);
    return 0;
}
