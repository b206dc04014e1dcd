// The presence server program run for real on a loopback port: two presence clients see each
// other's poses through it, a stop request (Ctrl+C, SIGTERM, the console window closed) sends
// ServerBye before it exits, and bots started beside it walk where a client sees them.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "base/clock.h"
#include "presence/presence_client.h"
#include "sockets/socket_layer.h"
#include "sockets/udp_socket.h"

namespace {

// A free loopback port: bound once by us, then released for the server.
uint16_t freePort() {
    SocketHandle probe = openUdpSocket();
    PeerAddress local = {};
    bindUdpSocket(probe, PeerAddress{0x7F000001u, 0});
    udpSocketLocalAddress(probe, local);
    closeUdpSocket(probe);
    return local.port;
}

#if defined(_WIN32)
struct ProgramHandle {
    HANDLE process = nullptr;
    DWORD id = 0;
};

// The programs sit beside this test's executable, as they do in the zip.
std::string besideThisProgram(const char* name) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + name;
}

// Every program started here belongs to one job that ends with this process, so a test that fails
// hard never leaves a server running.
HANDLE childJob() {
    static HANDLE job = [] {
        HANDLE made = CreateJobObjectA(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        return made;
    }();
    return job;
}

// Starts a program with its standard output and error in a file; CREATE_NEW_CONSOLE among the flags
// gives it a console of its own, as a double-click does.
ProgramHandle spawnProgram(const char* const* arguments, const char* outputPath, DWORD creationFlags = 0) {
    std::string commandLine;
    for (const char* const* argument = arguments; *argument; ++argument)
        commandLine += std::string(commandLine.empty() ? "" : " ") + "\"" + *argument + "\"";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE output = CreateFileA(outputPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION started = {};
    ProgramHandle program;
    HANDLE job = childJob();
    if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, creationFlags, nullptr,
                       nullptr, &startup, &started)) {
        AssignProcessToJobObject(job, started.hProcess);
        CloseHandle(started.hThread);
        program.process = started.hProcess;
        program.id = started.dwProcessId;
    }
    if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
    return program;
}

bool programStarted(const ProgramHandle& program) { return program.process != nullptr; }

// What the console does when a user presses Ctrl+C in the server's window (CTRL_C_EVENT) or closes
// it (CTRL_CLOSE_EVENT): a thread started in the program at kernel32's CtrlRoutine, which calls the
// program's console handlers. kernel32 sits at one address in every process of a session. Wine's
// GenerateConsoleCtrlEvent fails without a console window, so the test goes the console's own way.
bool askToStop(const ProgramHandle& program, DWORD event) {
    void* found = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CtrlRoutine"));
    auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(found);
    if (!routine) return false;
    HANDLE thread = CreateRemoteThread(program.process, nullptr, 0, routine, reinterpret_cast<void*>(uintptr_t(event)), 0,
                                       nullptr);
    if (!thread) return false;
    CloseHandle(thread);
    return true;
}
const DWORD CtrlCPressed = CTRL_C_EVENT;
const DWORD OtherStopRequest = CTRL_CLOSE_EVENT;

// Exit code once the process ends within the time, else -1 (and it is ended).
int waitForExit(ProgramHandle& program, int tenths) {
    DWORD code = 0;
    if (WaitForSingleObject(program.process, DWORD(tenths) * 100) != WAIT_OBJECT_0) {
        TerminateProcess(program.process, 255);
        WaitForSingleObject(program.process, INFINITE);
        CloseHandle(program.process);
        return -1;
    }
    GetExitCodeProcess(program.process, &code);
    CloseHandle(program.process);
    return int(code);
}

const std::string serverPath = besideThisProgram("vornhalzanthery-server.exe");
const std::string botsPath = besideThisProgram("vornhalzanthery-bots.exe");
const char* const NullOutput = "NUL";
#else
struct ProgramHandle {
    pid_t pid = -1;
};

// Starts a program with its standard output and error in a file (or /dev/null). It is killed when
// this test process dies, so a test that fails hard never leaves a server running or holds the test
// runner's output open.
ProgramHandle spawnProgram(const char* const* arguments, const char* outputPath) {
    pid_t pid = fork();
    if (pid != 0) return ProgramHandle{pid};
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    int output = open(outputPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(output, 1);
    dup2(output, 2);
    execv(arguments[0], const_cast<char* const*>(arguments));
    _exit(127);
}

bool programStarted(const ProgramHandle& program) { return program.pid > 0; }

// SIGINT is Ctrl+C in the server's terminal; SIGTERM is what systemd sends.
bool askToStop(const ProgramHandle& program, int signal) { return kill(program.pid, signal) == 0; }
const int CtrlCPressed = SIGINT;
const int OtherStopRequest = SIGTERM;

// Exit status once the process ends within the time, else -1 (and it is killed).
int waitForExit(ProgramHandle& program, int tenths) {
    for (int i = 0; i < tenths; ++i) {
        int status = 0;
        if (waitpid(program.pid, &status, WNOHANG) == program.pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(program.pid, SIGKILL);
    waitpid(program.pid, nullptr, 0);
    return -1;
}

const std::string serverPath = VZ_SERVER_PATH;
const std::string botsPath = VZ_BOTS_PATH;
const char* const NullOutput = "/dev/null";
#endif

struct ServerProcess {
    ProgramHandle program;
    std::string outputPath;
};

ServerProcess startServer(uint16_t port) {
    ServerProcess server;
    server.outputPath = ::testing::TempDir() + "presence_server_" + std::to_string(port) + ".txt";
    std::string portText = std::to_string(port);
    const char* arguments[] = {serverPath.c_str(), "--bind", "127.0.0.1", "--port", portText.c_str(), nullptr};
    server.program = spawnProgram(arguments, server.outputPath.c_str());
    return server;
}

std::string readAll(const std::string& path) {
    std::string text;
    if (FILE* file = std::fopen(path.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
        std::fclose(file);
    }
    return text;
}

struct Player {
    PresenceClient client;
    RemotePlayerTable table = {};
    PlayerState pose;
};

}  // namespace

TEST(PresenceServerProgram, TwoClientsSeeEachOtherAndServerByeOnStopRequest) {
    networkStarted = startSocketLayer();
    uint16_t port = freePort();
    ServerProcess server = startServer(port);
    ASSERT_TRUE(programStarted(server.program));
    std::string address = "127.0.0.1:" + std::to_string(port);

    Player a, b;
    a.pose = {1.0f, 0.0f, 2.0f, 0.5f, 0};
    b.pose = {-3.0f, 0.4f, -1.0f, 1.5f, 1};
    ASSERT_TRUE(connectPresenceClient(a.client, a.table, address.c_str(), monotonicMs()));
    ASSERT_TRUE(connectPresenceClient(b.client, b.table, address.c_str(), monotonicMs()));

    // Frames of 10 ms for at most 5 s, until each sees the other.
    bool seen = false;
    for (int frame = 0; frame < 500 && !seen; ++frame) {
        pumpPresenceClient(a.client, a.table, a.pose, monotonicMs());
        pumpPresenceClient(b.client, b.table, b.pose, monotonicMs());
        seen = a.client.connected && b.client.connected && a.table.slots[b.client.ownId].active &&
               b.table.slots[a.client.ownId].active;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(seen) << readAll(server.outputPath);
    EXPECT_NE(a.client.ownId, b.client.ownId);
    const PlayerState& bSeenByA = a.table.slots[b.client.ownId].target;
    EXPECT_EQ(+bSeenByA.x, -3.0f);
    EXPECT_EQ(+bSeenByA.y, 0.4f);
    EXPECT_EQ(+bSeenByA.crouching, 1);
    EXPECT_EQ(+b.table.slots[a.client.ownId].target.z, 2.0f);
    EXPECT_FALSE(a.table.slots[a.client.ownId].active) << "a client never sees itself";

    // b leaves: a stops seeing it once the next rosters arrive.
    int bId = b.client.ownId;
    disconnectPresenceClient(b.client, b.table);
    for (int frame = 0; frame < 100 && a.table.slots[bId].active; ++frame) {
        pumpPresenceClient(a.client, a.table, a.pose, monotonicMs());
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_FALSE(a.table.slots[bId].active);

    ASSERT_TRUE(askToStop(server.program, CtrlCPressed));
    EXPECT_EQ(waitForExit(server.program, 50), 0);
    // The ServerBye is waiting in a's socket: the next pump answers it and closes.
    pumpPresenceClient(a.client, a.table, a.pose, monotonicMs());
    EXPECT_EQ(a.client.socket, NoSocket);
    EXPECT_FALSE(a.client.connected);

    std::string log = readAll(server.outputPath);
    EXPECT_NE(log.find("player 0 joined"), std::string::npos) << log;
    EXPECT_NE(log.find("player 1 joined"), std::string::npos) << log;
    EXPECT_NE(log.find("player " + std::to_string(bId) + " left"), std::string::npos) << log;
    EXPECT_NE(log.find("ServerBye sent to 1 player"), std::string::npos) << log;
}

TEST(PresenceServerProgram, RefusesAPortInUseAndBadOptions) {
    networkStarted = startSocketLayer();  // whichever test the shuffle runs first
    SocketHandle holder = openUdpSocket();
    ASSERT_TRUE(bindUdpSocket(holder, PeerAddress{0x7F000001u, 0}));
    PeerAddress taken = {};
    udpSocketLocalAddress(holder, taken);
    ServerProcess server = startServer(taken.port);
    EXPECT_EQ(waitForExit(server.program, 50), 1) << "from a prompt it ends at once";
    const char* const holdLine = "Press a key to close this window.";
    EXPECT_EQ(readAll(server.outputPath).find(holdLine), std::string::npos) << readAll(server.outputPath);
#if defined(_WIN32)
    // Double-clicked, in a console of its own, it asks for a key before that window closes. (Wine's
    // console made for CREATE_NEW_CONSOLE has no input to read, so the wait itself ends at once.)
    const std::string takenText = std::to_string(taken.port), heldPath = server.outputPath + ".own-console";
    const char* ownConsole[] = {serverPath.c_str(), "--port", takenText.c_str(), nullptr};
    ProgramHandle doubleClicked = spawnProgram(ownConsole, heldPath.c_str(), CREATE_NEW_CONSOLE);
    waitForExit(doubleClicked, 50);
    EXPECT_NE(readAll(heldPath).find(holdLine), std::string::npos) << readAll(heldPath);
#endif
    closeUdpSocket(holder);

    const char* arguments[] = {serverPath.c_str(), "--port", "70000", nullptr};
    ProgramHandle badOptions = spawnProgram(arguments, NullOutput);
    EXPECT_EQ(waitForExit(badOptions, 50), 2);
}

TEST(PresenceServerProgram, BotsJoinAndWalkWhereAClientSeesThem) {
    networkStarted = startSocketLayer();
    uint16_t port = freePort();
    ServerProcess server = startServer(port);
    ASSERT_TRUE(programStarted(server.program));
    std::string address = "127.0.0.1:" + std::to_string(port);
    const char* arguments[] = {botsPath.c_str(), "--server", address.c_str(), "--count", "3", "--seconds", "3", nullptr};
    ProgramHandle bots = spawnProgram(arguments, NullOutput);
    ASSERT_TRUE(programStarted(bots));

    Player watcher;
    watcher.pose = {0, 0, 0, 0, 0};
    ASSERT_TRUE(connectPresenceClient(watcher.client, watcher.table, address.c_str(), monotonicMs()));
    float firstX[RemotePlayerSlots] = {};
    bool moved[RemotePlayerSlots] = {};
    int most = 0;
    for (int frame = 0; frame < 250; ++frame) {  // 2.5 s at 10 ms
        pumpPresenceClient(watcher.client, watcher.table, watcher.pose, monotonicMs());
        int active = 0;
        for (int id = 0; id < RemotePlayerSlots; ++id) {
            const RemotePlayer& slot = watcher.table.slots[id];
            if (!slot.active) continue;
            ++active;
            if (firstX[id] == 0.0f) firstX[id] = slot.target.x;
            if (std::fabs(slot.target.x - firstX[id]) > 0.2f) moved[id] = true;
        }
        most = active > most ? active : most;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(most, 3);
    int movers = 0;
    for (bool m : moved) movers += m ? 1 : 0;
    EXPECT_GE(movers, 1) << "bots walk";
    EXPECT_EQ(waitForExit(bots, 50), 0);
    disconnectPresenceClient(watcher.client, watcher.table);
    askToStop(server.program, OtherStopRequest);
    EXPECT_EQ(waitForExit(server.program, 50), 0);
    std::string log = readAll(server.outputPath);
    EXPECT_NE(log.find("stopped: ServerBye sent"), std::string::npos) << log;
    int leaves = 0;
    for (size_t at = log.find(" left ("); at != std::string::npos; at = log.find(" left (", at + 1)) ++leaves;
    EXPECT_GE(leaves, 3) << "every bot says Bye when it stops\n" << log;
}
