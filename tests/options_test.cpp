// The console programs' option parser: numbers at and past the ends of their ranges, values missing,
// options unknown, repeated or asking for help or the release number, and the help text written from
// the same table.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "base/options.h"

namespace {

// Where the test table's options go; every parse sets them to their defaults first.
long port, limit;
const char* server;
bool helpAsked, versionAsked;

const Option TestOptions[] = {
    {.name = "--port", .kind = OptionKind::Number, .valueName = "N", .help = "UDP port", .low = 1, .high = 65535,
     .defaultNumber = 27420, .number = &port},
    {.name = "--limit", .kind = OptionKind::Number, .valueName = "N", .help = "a long", .low = 0, .high = LONG_MAX,
     .defaultNumber = 0, .defaultMeaning = "none", .number = &limit},
    {.name = "--server", .kind = OptionKind::Text, .valueName = "ADDRESS",
     .help = "host or host:port of the server, in words that fill the line to its edge and so does the one after it",
     .defaultText = "127.0.0.1", .text = &server},
    {.name = "--version", .kind = OptionKind::Version, .help = "the release number", .asked = &versionAsked},
    {.name = "--help", .alias = "-h", .kind = OptionKind::Help, .help = "this text", .asked = &helpAsked},
};
const OptionTable TestTable = {
    "vornhalzanthery-named-to-fill-a-usage-line-exactly", "test", "Tests the parser.",
    "Notes after the options, in a paragraph long enough to wrap at a space before its edge.", TestOptions, 5, 7};

// What parsing the arguments after a program name leaves: what it logged, then the values if accepted.
std::string outcome(const std::vector<std::string>& given) {
    std::vector<const char*> arguments = {"program"};
    for (const std::string& argument : given) arguments.push_back(argument.c_str());
    testing::internal::CaptureStderr();
    bool accepted = parseOptions(TestTable, int(arguments.size()), arguments.data());
    std::string logged = testing::internal::GetCapturedStderr();
    if (!accepted) return logged;
    return logged + std::to_string(port) + " " + std::to_string(limit) + " " + server + (helpAsked ? " help" : "") +
           (versionAsked ? " version" : "");
}

}  // namespace

TEST(Options, ValuesLandWhereTheTableSaysAndRefusalsNameTheOption) {
    const std::string longMax = std::to_string(LONG_MAX), pastLong = std::to_string((unsigned long long)LONG_MAX + 1);
    const std::string notPort = "test: --port takes a whole number from 1 to 65535, not ";
    const std::string notLimit = "test: --limit takes a whole number from 0 to " + longMax + ", not ";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--port", "1", "--limit", "0"}, "1 0 127.0.0.1"},
        {{"--port", "65535", "--limit", longMax}, "65535 " + longMax + " 127.0.0.1"},
        {{"--port", "0"}, notPort + "\"0\"\n"},
        {{"--port", "65536"}, notPort + "\"65536\"\n"},
        {{"--limit", "-1"}, notLimit + "\"-1\"\n"},
        {{"--limit", pastLong}, notLimit + "\"" + pastLong + "\"\n"},
        {{"--port", "eighty"}, notPort + "\"eighty\"\n"},
        {{"--limit", ""}, notLimit + "\"\"\n"},
        {{"--server", "a", "--port"}, "test: --port needs a value (see --help)\n"},
        {{"--port", "80", "--bogus"}, "test: unknown option --bogus (see --help)\n"},
        {{"--port", "80", "--port", "81", "--server", "a", "--server", "b"}, "81 0 b"},
        {{"--port", "80", "--help", "--bogus"}, "80 0 127.0.0.1 help"},
        {{"-h"}, "27420 0 127.0.0.1 help"},
        {{"--port", "80", "--version", "--bogus"}, "80 0 127.0.0.1 version"},
        {{}, "27420 0 127.0.0.1"},
    };
    for (const auto& [arguments, expected] : cases)
        EXPECT_EQ(outcome(arguments), expected) << testing::PrintToString(arguments);
}

TEST(Options, HelpListsEveryOptionWithItsRangeAndDefaultWrappedToTheWidth) {
    testing::internal::CaptureStderr();
    printOptionHelp(TestTable);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Usage: vornhalzanthery-named-to-fill-a-usage-line-exactly [--port N] [--limit N]\n"
              "                                                          [--server ADDRESS]\n"
              "Tests the parser.\n"
              "  --port N          UDP port, 1 to 65535 (default 27420)\n"
              "  --limit N         a long, 0 to " + std::to_string(LONG_MAX) + " (default none)\n"
              "  --server ADDRESS  host or host:port of the server, in words that fill the line\n"
              "                    to its edge and so does the one after it (default 127.0.0.1)\n"
              "  --version         the release number\n"
              "  -h, --help        this text\n"
              "Notes after the options, in a paragraph long enough to wrap at a space before\n"
              "its edge.\n");
}

// A program's main ends at once, with the shell's usual codes, on a refused option, on --help or on
// --version, which prints the command and its release number alone.
TEST(ProgramOptions, EndTheProgramOnlyWhenTheyMust) {
    struct Case {
        std::vector<const char*> arguments;
        bool goesOn;
        int exitCode;
        const char* printed = nullptr;  // when checked
    };
    const Case cases[] = {
        {{"program"}, true, -1, ""},
        {{"program", "--port", "1"}, true, -1, ""},
        {{"program", "--port", "0"}, false, 2},
        {{"program", "--bogus"}, false, 2},
        {{"program", "--port", "9", "-h"}, false, 0},
        {{"program", "--version"}, false, 0, "vornhalzanthery-named-to-fill-a-usage-line-exactly release 7\n"},
    };
    for (const Case& c : cases) {
        int exitCode = -1;
        testing::internal::CaptureStderr();
        bool goesOn = takeProgramOptions(TestTable, int(c.arguments.size()), c.arguments.data(), exitCode);
        std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_EQ(goesOn, c.goesOn) << c.arguments.back();
        EXPECT_EQ(exitCode, c.exitCode) << c.arguments.back();
        if (c.printed) {
            EXPECT_EQ(printed, c.printed) << c.arguments.back();
        }
    }
}
