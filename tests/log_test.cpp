// The log: where the last run's log is kept, and the console programs' lines, stamped with the date
// and time unless the journal reads them, which stamps its own.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <utility>

#include "base/log.h"

TEST(Log, OnlyTheStreamSystemdNamesIsTakenForTheJournal) {
    struct Case {
        const char* journalStream;
        bool journal;
    };
    const Case cases[] = {
        {nullptr, false},  {"", false},          {"2049:1234", true},     {"2049:1235", false},
        {"2050:1234", false}, {"2049", false},   {"2049:1234x", false},   {"2049:", false},
        {":1234", false},  {"18446744073709551615:1234", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(journalReadsStream(c.journalStream, 2049, 1234), c.journal) << (c.journalStream ? c.journalStream : "null");
    EXPECT_TRUE(journalReadsStream("18446744073709551615:1", UINT64_MAX, 1)) << "the whole width of a device number";
}

TEST(Log, ThePreviousLogLiesBesideTheLogWithPreviousBeforeItsExtension) {
    const std::pair<const char*, const char*> cases[] = {
        {"/games/vz/vornhalzanthery.log", "/games/vz/vornhalzanthery.previous.log"},
        {"C:\\Games\\v.z\\vornhalzanthery.log", "C:\\Games\\v.z\\vornhalzanthery.previous.log"},
        {"/games/v.z/log", "/games/v.z/log.previous"},
        {"/games/.log", "/games/.log.previous"},
    };
    for (const auto& [path, previous] : cases) {
        char out[256];
        previousLogPath(path, out, sizeof out);
        EXPECT_STREQ(out, previous);
    }
}

TEST(Log, StampedLinesStartWithTheDateAndTime) {
    for (bool stamped : {true, false}) {
        stampLogLines(stamped);
        testing::internal::CaptureStderr();
        logLine("player %d joined", 3);
        std::string line = testing::internal::GetCapturedStderr();
        stampLogLines(false);
        const char* shape = stamped ? "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d player 3 joined\n" : "player 3 joined\n";
        EXPECT_TRUE(std::regex_match(line, std::regex(shape))) << line;
    }
}
