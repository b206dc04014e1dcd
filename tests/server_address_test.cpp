// "server.txt": the cleaning of whatever bytes it holds, and reading it from beside the executable.
#include <gtest/gtest.h>

#include <string>

#include "protocol/address.h"

TEST(ServerAddress, CleaningKeepsOnlyPrintableAsciiWithoutSpaces) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string address;
    };
    const std::string utf16 = std::string("\xFF\xFE", 2) + std::string("1\0" "0\0" ".\0" "0\0" ".\0" "0\0" ".\0" "7\0"
                                                                          ":\0" "9\0" "\r\0" "\n\0", 24);
    const Case cases[] = {
        {"LF", "192.168.1.20\n", "192.168.1.20"},
        {"CR LF", "192.168.1.20:27420\r\n", "192.168.1.20:27420"},
        {"spaces and blank lines around", "\n\n   host.example:99  \n\n\t\n", "host.example:99"},
        {"host and port on two lines", "play.example\n:27999\n", "play.example:27999"},
        {"spaces around the colon", "10.0.0.2 : 27420", "10.0.0.2:27420"},
        {"UTF-8 byte order mark", "\xEF\xBB\xBF" "lan-server\n", "lan-server"},
        {"UTF-16 with ASCII content", utf16, "10.0.0.7:9"},
        {"controls and DEL inside", std::string("ho\x01st\x7F:\x00" "1", 10), "host:1"},
        {"non-ASCII letters go", "caf\xC3\xA9.lan", "caf.lan"},
        {"only whitespace", " \t\r\n \n", ""},
        {"empty", "", ""},
        {"printable edges kept", "!~", "!~"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cleanServerAddress(c.bytes.data(), c.bytes.size()), c.address) << c.name;
    }
    EXPECT_EQ(cleanServerAddress(nullptr, 12), "") << "no bytes at all";
    EXPECT_EQ(cleanServerAddress("host:12", 6), "host:1") << "only the bytes it is given";
}
