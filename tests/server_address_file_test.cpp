// "server.txt" read from beside the executable, afresh at every call.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/server_address.h"
#include "files/files.h"

namespace {

// Writes server.txt beside the test executable for one test and removes it afterwards, so nothing
// that runs from this folder later (the play command, say) sees it.
struct ServerFile {
    std::string path = pathBesideExecutable(ServerAddressFile);
    ServerFile() { std::remove(path.c_str()); }
    ~ServerFile() { std::remove(path.c_str()); }
    void write(const std::string& bytes) const {
        std::FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
    }
};

}  // namespace

TEST(ServerAddressFile, MissingEmptyAndChangedFiles) {
    ServerFile file;
    EXPECT_EQ(readServerAddress(), "") << "no file";
    file.write("");
    EXPECT_EQ(readServerAddress(), "") << "empty file";
    file.write("\xEF\xBB\xBF  192.168.0.12 :\r\n 27420\r\n");
    EXPECT_EQ(readServerAddress(), "192.168.0.12:27420");
    file.write("other.lan\n");
    EXPECT_EQ(readServerAddress(), "other.lan") << "a changed file counts at the next read";
}
