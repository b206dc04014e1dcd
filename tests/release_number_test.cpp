// The published release number as the update check reads it: atoi's rules, on at most 15 bytes.
#include <gtest/gtest.h>

#include <climits>

#include "protocol/release_number.h"

TEST(ReleaseNumber, ReadLikeAtoi) {
    struct Case {
        const char* text;
        int number;
    };
    const Case cases[] = {
        {"1", 1},        {"2\n", 2},         {"\n3", 3},       {"  \t 12abc", 12}, {"-5", -5},
        {"+7", 7},       {"0", 0},           {"text", 0},      {"", 0},            {"- 4", 0},
        {"3.9", 3},      {"0x10", 0},        {"\v\f\r 9", 9},  {"99999999999999", INT_MAX},
        {"-99999999999999", INT_MIN},       {"2147483647", INT_MAX},                {"2147483648", INT_MAX},
        {"10", 10},      {"-2147483647", -2147483647},
    };
    for (const Case& c : cases) EXPECT_EQ(parseReleaseNumber(c.text), c.number) << '"' << c.text << '"';
    EXPECT_EQ(parseReleaseNumber(nullptr), 0);
}

TEST(ReleaseNumber, OnlyAnAnswerOfStatus200WithAGreaterNumberMeansAnUpdate) {
    struct Case {
        long status;
        const char* body;
        bool newer;
    };
    const Case cases[] = {
        {200, "1", false}, {200, "1\n", false}, {200, "2\n", true}, {200, "\n3", true},  {200, "-5", false},
        {200, "0", false}, {200, "soon", false}, {404, "2", false}, {500, "9", false},  {0, "2", false},
        {200, "               ", false},  // fifteen spaces: the 2 after them was never read
    };
    for (const Case& c : cases) EXPECT_EQ(isNewerRelease(c.status, c.body), c.newer) << c.status << " " << c.body;
}
