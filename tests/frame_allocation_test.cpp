// A steady frame allocates nothing: the whole frame of the client (events, presence with a server
// sending a full roster every frame, movement, the room and capsules, camera, menus, the uploads
// and the encoding on Dawn's Null backend) run 1,000 times under a global allocator that counts
// every operator new and malloc made on the main thread from outside Dawn. Dawn's own bookkeeping
// (a few dozen small objects per encoded frame) is counted apart and reported, not failed: it is
// not our code.
#include <gtest/gtest.h>

#include <SDL3/SDL.h>
#include <dlfcn.h>
#include <link.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "app/app_state.h"
#include "app/client.h"
#include "presence/presence_client.h"
#include "protocol/messages.h"
#include "protocol/remote_players.h"
#include "render/floor_textures.h"
#include "render/font_texture.h"
#include "render/gpu_context.h"
#include "sockets/socket_layer.h"
#include "sockets/udp_socket.h"

extern "C" void* __libc_malloc(size_t);
extern "C" void* __libc_calloc(size_t, size_t);
extern "C" void* __libc_realloc(void*, size_t);
extern "C" void __libc_free(void*);

namespace {

// Where Dawn's library lies in memory, found once before counting starts.
uintptr_t dawnStart, dawnEnd;
bool counting;
thread_local bool onCountedThread;
std::atomic<long> ours{0}, dawns{0};

void noteAllocation(void* caller) {
    if (!counting || !onCountedThread) return;
    uintptr_t at = uintptr_t(caller);
    if (at >= dawnStart && at < dawnEnd) {
        dawns.fetch_add(1, std::memory_order_relaxed);
    } else {
        ours.fetch_add(1, std::memory_order_relaxed);
    }
}

int findDawn(dl_phdr_info* info, size_t, void*) {
    if (!info->dlpi_name || !std::strstr(info->dlpi_name, "webgpu_wrapper")) return 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD || !(segment.p_flags & PF_X)) continue;
        uintptr_t start = info->dlpi_addr + segment.p_vaddr;
        if (!dawnStart || start < dawnStart) dawnStart = start;
        if (start + segment.p_memsz > dawnEnd) dawnEnd = start + segment.p_memsz;
    }
    return 0;
}

}  // namespace

// The counting allocator: the C library's own allocator underneath, so nothing else changes.
extern "C" void* malloc(size_t size) {
    noteAllocation(__builtin_return_address(0));
    return __libc_malloc(size);
}
extern "C" void* calloc(size_t count, size_t size) {
    noteAllocation(__builtin_return_address(0));
    return __libc_calloc(count, size);
}
extern "C" void* realloc(void* pointer, size_t size) {
    noteAllocation(__builtin_return_address(0));
    return __libc_realloc(pointer, size);
}
void* operator new(size_t size) {
    noteAllocation(__builtin_return_address(0));
    if (void* p = __libc_malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    noteAllocation(__builtin_return_address(0));
    if (void* p = __libc_malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    noteAllocation(__builtin_return_address(0));
    return __libc_malloc(size ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    noteAllocation(__builtin_return_address(0));
    return __libc_malloc(size ? size : 1);
}
void operator delete(void* p) noexcept { __libc_free(p); }
void operator delete[](void* p) noexcept { __libc_free(p); }
void operator delete(void* p, size_t) noexcept { __libc_free(p); }
void operator delete[](void* p, size_t) noexcept { __libc_free(p); }

namespace {

// A server on loopback that welcomes the client and sends it a roster of fifteen walking players
// every frame, as a busy server does.
struct RosterSender {
    SocketHandle socket = NoSocket;
    PeerAddress client = {};
    bool heardClient = false;
    RosterMessage roster = {};

    void sendFrame(int frame) {
        uint8_t buffer[PresenceDatagramCapacity];
        size_t length = 0;
        PeerAddress from;
        while (receiveDatagram(socket, buffer, sizeof(buffer), length, &from) == ReceiveResult::Datagram) {
            client = from;
            heardClient = true;
        }
        if (!heardClient) return;
        uint8_t welcome[WelcomeLength];
        encodeWelcome(15, welcome);
        if (frame % 30 == 0) sendDatagramTo(socket, welcome, sizeof(welcome), client);
        roster.count = 15;
        for (int id = 0; id < 15; ++id) {
            float angle = float(frame) * 0.01f + float(id);
            roster.records[id] = {uint8_t(id), {3.0f * SDL_cosf(angle), 0.0f, 3.0f * SDL_sinf(angle), angle, uint8_t(id & 1)}};
        }
        length = encodeRoster(roster, buffer, sizeof(buffer));
        sendDatagramTo(socket, buffer, length, client);
    }
};

void pushPointerMotion(int frame) {
    SDL_Event event = {};
    event.type = SDL_EVENT_MOUSE_MOTION;
    event.motion.x = 150.0f + float(frame % 300);  // across the buttons, in and out of their boxes
    event.motion.y = 560.0f + float(frame % 100);
    event.motion.xrel = 2.0f;
    event.motion.yrel = (frame % 2) ? 1.0f : -1.0f;
    SDL_PushEvent(&event);
}

}  // namespace

TEST(FrameAllocation, ASteadyFrameAllocatesNothing) {
    ASSERT_TRUE(SDL_Init(SDL_INIT_EVENTS)) << SDL_GetError();
    networkStarted = startSocketLayer();
    ASSERT_TRUE(networkStarted);
    ASSERT_TRUE(startGpuHeadless(1280, 720));
    ASSERT_TRUE(loadFontAtlas());
    ASSERT_TRUE(loadFloorMaterial());
    dl_iterate_phdr(findDawn, nullptr);
    ASSERT_LT(dawnStart, dawnEnd) << "Dawn's library was not found among those loaded";

    RosterSender server;
    server.socket = openUdpSocket();
    ASSERT_NE(server.socket, NoSocket);
    PeerAddress serverAddress;
    ASSERT_TRUE(bindUdpSocket(server.socket, PeerAddress{0x7F000001u, 0}));
    ASSERT_TRUE(udpSocketLocalAddress(server.socket, serverAddress));
    std::string address = "127.0.0.1:" + std::to_string(serverAddress.port);
    SDL_Delay(300);  // past the first Hello interval of the tick count, so the Hello goes at once
    ASSERT_TRUE(presenceConnect(address.c_str(), SDL_GetTicks()));

    onCountedThread = true;
    struct Phase {
        AppState state;
        const char* name;
    };
    for (Phase phase : {Phase{AppState::Menu, "title screen"}, Phase{AppState::Playing, "playing"},
                        Phase{AppState::Paused, "pause screen"}}) {
        changeAppState(appCore, phase.state);
        for (int frame = 0; frame < 20; ++frame) {  // the first frames may warm caches
            server.sendFrame(frame);
            pushPointerMotion(frame);
            runClientFrame();
        }
        ours = 0;
        dawns = 0;
        counting = true;
        for (int frame = 0; frame < 1000; ++frame) {
            server.sendFrame(frame);
            pushPointerMotion(frame);
            runClientFrame();
        }
        counting = false;
        EXPECT_EQ(ours.load(), 0) << phase.name << ": allocations in 1000 frames outside Dawn";
        EXPECT_TRUE(presenceClient.connected) << phase.name;
        int active = 0;
        for (const RemotePlayer& slot : remotePlayers.slots) active += slot.active;
        EXPECT_EQ(active, 15) << phase.name << ": the roster was merged every frame";
        std::printf("%s: %ld allocations in 1000 frames by Dawn, %ld by the rest\n", phase.name, dawns.load(), ours.load());
    }
    onCountedThread = false;
    presenceDisconnect();
    closeUdpSocket(server.socket);
}
