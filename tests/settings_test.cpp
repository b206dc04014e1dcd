// "settings.txt": a table of files with the values they give and the lines they name, the window's
// start size against the display, and the file read from beside the executable.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/settings_file.h"
#include "files/files.h"

namespace {

// UTF-16 as Notepad's "Unicode" saves it: a byte order mark, then two bytes a character.
std::string utf16(const std::u16string& text, bool littleEndian) {
    std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t unit : text) {
        char low = char(unit & 0xFF), high = char(unit >> 8);
        bytes += littleEndian ? std::string{low, high} : std::string{high, low};
    }
    return bytes;
}

// One good line, then 64-byte comment lines past the cap, then a line that is never read.
std::string hugeFile() {
    std::string bytes = "mouse_sensitivity = 3\n";
    while (bytes.size() <= SettingsReadCap) bytes += "#" + std::string(62, '-') + "\n";
    return bytes + "invert_mouse = yes\n";
}

Settings with(void (*change)(Settings&)) {
    Settings settings;
    change(settings);
    return settings;
}

}  // namespace

TEST(SettingsFile, EachFileGivesItsValuesAndNamesItsBadLines) {
    struct Case {
        const char* name;
        std::string bytes;
        Settings settings;
        std::vector<SettingsProblem> problems;
    };
    const Case cases[] = {
        {"empty: the game's own defaults", "", with([](Settings& s) { s = {1.0f, false, 70.0f, 1280, 720, false}; }), {}},
        {"a byte order mark alone", "\xEF\xBB\xBF", {}, {}},
        {"UTF-16 byte order mark alone", "\xFF\xFE", {}, {}},
        {"UTF-16 big-endian byte order mark alone", "\xFE\xFF", {}, {}},
        {"a byte order mark's first byte alone", "\xFF", {}, {{1, "\"?\" has no \"=\" between a key and its value"}}},
        {"a big-endian mark's first byte alone", "\xFE", {}, {{1, "\"?\" has no \"=\" between a key and its value"}}},
        {"no byte order mark, though it starts like one", "\xFF\xFF", {}, {{1, "\"??\" has no \"=\" between a key and its value"}}},
        {"no big-endian mark, though it starts like one", "\xFE\xFE", {}, {{1, "\"??\" has no \"=\" between a key and its value"}}},
        {"two bytes of a UTF-8 byte order mark", "\xEF\xBB", {}, {{1, "\"??\" has no \"=\" between a key and its value"}}},
        {"a UTF-8 byte order mark but its first byte", "\xEE\xBB\xBF", {}, {{1, "\"???\" has no \"=\" between a key and its value"}}},
        {"a UTF-8 byte order mark but its second byte", "\xEF\xBA\xBF", {}, {{1, "\"???\" has no \"=\" between a key and its value"}}},
        {"a UTF-8 byte order mark but its third byte", "\xEF\xBB\xBE", {}, {{1, "\"???\" has no \"=\" between a key and its value"}}},
        {"every key",
         "mouse_sensitivity = 0.5\ninvert_mouse = yes\nfield_of_view = 50\nwindow = 1920 x 1080\nfullscreen = yes\n",
         with([](Settings& s) { s = {0.5f, true, 50.0f, 1920, 1080, true}; }),
         {}},
        {"byte order mark, CR LF, comments, blank lines, any case, no spaces, no last line end",
         "\xEF\xBB\xBF# mine\r\n\r\n  Mouse_Sensitivity=2.5   # faster\r\n\t\r\ninvert_mouse=yes\r\nINVERT_MOUSE = No\r\nwindow=800X600",
         with([](Settings& s) { s.mouseSensitivity = 2.5f; s.windowWidth = 800; s.windowHeight = 600; }),
         {}},
        {"bad lines are named and the rest still counts",
         "mouse_speed = 3\nmouse_sensitivity = 20\nmouse_sensitivity = fast\n fullscreen \ninvert_mouse = maybe\n"
         "field_of_view = 49.9\nwindow = 1280 by 720\nwindow = 100 x 100\nfield_of_view =\nfield_of_view = nan\n"
         "mouse_sensitivity = 1e999\n= yes\nwindow = 99999999999 x 720\nfield_of_view = 110\nmouse_sensitivity = 0.1\n"
         "window = 720 x 99999999999\nwindow = 800 x 100\nfield_of_view = 1e999 degrees\n"
         "a_key_of_forty_one_letters_is_named_short = 1\ninvert_mouse = ~ye\x7Fs\nwindow = 16384 x 240\n"
         "field_of_view = 90 degrees\ninvert?mouse = yes\ninvert_mouse = xes\na_key_of_forty_letters_is_named_in_whole = 1\n"
         "window = x 768\nwindow = 1024 x 768 pixels\nwindow = 100 x 600\nwindow = 16385 x 720\nwindow = 720 x 16385\n"
         "window = 1280\nmouse_sensitivity = 10.5\nfield_of_view = 115\n",
         with([](Settings& s) {
             s.fieldOfView = 110.0f;
             s.mouseSensitivity = 0.1f;
             s.windowWidth = 16384;
             s.windowHeight = 240;
         }),
         {{1, "unknown key \"mouse_speed\""},
          {2, "mouse_sensitivity 20 is outside 0.1 to 10"},
          {3, "mouse_sensitivity \"fast\" is not a number"},
          {4, "\"fullscreen\" has no \"=\" between a key and its value"},
          {5, "invert_mouse \"maybe\" is neither yes nor no"},
          {6, "field_of_view 49.9 is outside 50 to 110"},
          {7, "window \"1280 by 720\" is not a width x height such as 1280 x 720"},
          {8, "window 100 x 100 is outside 320 x 240 to 16384 x 16384"},
          {9, "field_of_view has no value"},
          {10, "field_of_view \"nan\" is not a number"},
          {11, "mouse_sensitivity 1e999 is outside 0.1 to 10"},
          {12, "unknown key \"\""},
          {13, "window 99999999999 x 720 is outside 320 x 240 to 16384 x 16384"},
          {16, "window 720 x 99999999999 is outside 320 x 240 to 16384 x 16384"},
          {17, "window 800 x 100 is outside 320 x 240 to 16384 x 16384"},
          {18, "field_of_view \"1e999 degrees\" is not a number"},
          {19, "unknown key \"a_key_of_forty_one_letters_is_named_shor...\""},
          {20, "invert_mouse \"~ye?s\" is neither yes nor no"},
          {22, "field_of_view \"90 degrees\" is not a number"},
          {23, "unknown key \"invert?mouse\""},
          {24, "invert_mouse \"xes\" is neither yes nor no"},
          {25, "unknown key \"a_key_of_forty_letters_is_named_in_whole\""},
          {26, "window \"x 768\" is not a width x height such as 1280 x 720"},
          {27, "window \"1024 x 768 pixels\" is not a width x height such as 1280 x 720"},
          {28, "window 100 x 600 is outside 320 x 240 to 16384 x 16384"},
          {29, "window 16385 x 720 is outside 320 x 240 to 16384 x 16384"},
          {30, "window 720 x 16385 is outside 320 x 240 to 16384 x 16384"},
          {31, "window \"1280\" is not a width x height such as 1280 x 720"},
          {32, "mouse_sensitivity 10.5 is outside 0.1 to 10"},
          {33, "field_of_view 115 is outside 50 to 110"}}},
        {"UTF-16, little-endian, an odd byte at the end", utf16(u"mouse_sensitivity = 0.25\r\nfullscreen = yes", true) + "s",
         with([](Settings& s) { s.mouseSensitivity = 0.25f; s.fullscreen = true; }),
         {}},
        {"UTF-16, big-endian, a character beyond ASCII last", utf16(u"invert_mouse = yes\r\nfield_of_view = 9\uFF10", false),
         with([](Settings& s) { s.invertMouse = true; }),
         {{2, "field_of_view \"9?\" is not a number"}}},
        {"CR alone ends lines, the largest and smallest window", "invert_mouse = yes\rwindow = 320 x 16384\r",
         with([](Settings& s) { s.invertMouse = true; s.windowWidth = 320; s.windowHeight = 16384; }),
         {}},
        {"huge: read up to the cap", hugeFile(), with([](Settings& s) { s.mouseSensitivity = 3.0f; }),
         {{1025, "the file is longer than 65536 bytes, so this line and the rest are not read"}}},
        {"exactly as long as the cap", std::string(SettingsReadCap - 19, '#') + "\ninvert_mouse = yes",
         with([](Settings& s) { s.invertMouse = true; }), {}},
        {"huge: the cap falls just after a line", std::string(SettingsReadCap - 20, '#') + "\ninvert_mouse = yes\nfullscreen = yes\n",
         with([](Settings& s) { s.invertMouse = true; }),
         {{3, "the file is longer than 65536 bytes, so this line and the rest are not read"}}},
        {"huge, one line", std::string(SettingsReadCap + 1, 'x'), {},
         {{1, "the file is longer than 65536 bytes, so this line and the rest are not read"}}},
    };
    for (const Case& c : cases) {
        // Exactly the file's bytes, with nothing after them, so a read past the end is seen.
        const std::vector<char> bytes(c.bytes.begin(), c.bytes.end());
        SettingsReading reading = parseSettings(bytes.data(), bytes.size());
        const Settings& got = reading.settings;
        EXPECT_EQ(got.mouseSensitivity, c.settings.mouseSensitivity) << c.name;
        EXPECT_EQ(got.invertMouse, c.settings.invertMouse) << c.name;
        EXPECT_EQ(got.fieldOfView, c.settings.fieldOfView) << c.name;
        EXPECT_EQ(got.windowWidth, c.settings.windowWidth) << c.name;
        EXPECT_EQ(got.windowHeight, c.settings.windowHeight) << c.name;
        EXPECT_EQ(got.fullscreen, c.settings.fullscreen) << c.name;
        ASSERT_EQ(reading.problems.size(), c.problems.size()) << c.name;
        for (size_t i = 0; i < c.problems.size(); ++i) {
            EXPECT_EQ(reading.problems[i].line, c.problems[i].line) << c.name;
            EXPECT_EQ(reading.problems[i].reason, c.problems[i].reason) << c.name;
        }
        EXPECT_EQ(reading.problemsNotNamed, 0u) << c.name;
    }
    std::string manyBad;
    for (size_t i = 0; i < SettingsProblemCapacity + 5; ++i) manyBad += "x\n";
    SettingsReading reading = parseSettings(manyBad.data(), manyBad.size());
    EXPECT_EQ(reading.problems.size(), SettingsProblemCapacity);
    EXPECT_EQ(reading.problemsNotNamed, 5u) << "the rest are counted";
    EXPECT_TRUE(parseSettings(nullptr, 12).problems.empty()) << "no bytes at all";
}

TEST(SettingsFile, TheStartWindowFitsTheDisplay) {
    struct Case {
        int width, height, displayWidth, displayHeight, expectedWidth, expectedHeight;
    };
    const Case cases[] = {
        {1280, 720, 1920, 1040, 1280, 720},  {2560, 1440, 1920, 1040, 1920, 1040},
        {1920, 700, 1600, 1000, 1600, 700},  {800, 1200, 1600, 1000, 800, 1000},
        {2560, 1440, 0, 0, 2560, 1440},      {1920, 1080, 1920, 1080, 1920, 1080},
        {2560, 1440, 1920, 0, 2560, 1440},   {2560, 1440, 0, 1040, 2560, 1440},  {1280, 720, 1, 1, 1, 1},
    };
    for (const Case& c : cases) {
        Settings settings;
        settings.windowWidth = c.width;
        settings.windowHeight = c.height;
        WindowSize size = startWindowSize(settings, c.displayWidth, c.displayHeight);
        EXPECT_EQ(size.width, c.expectedWidth) << c.width << "x" << c.height << " on " << c.displayWidth;
        EXPECT_EQ(size.height, c.expectedHeight) << c.width << "x" << c.height << " on " << c.displayHeight;
    }
}

// From disk the reader takes one byte past the cap, so it still knows that a huge file goes on.
TEST(SettingsFile, IsReadFromBesideTheExecutable) {
    std::string path = pathBesideExecutable(SettingsFile);
    std::remove(path.c_str());
    EXPECT_EQ(readSettingsFile().settings.mouseSensitivity, 1.0f) << "no file: the defaults";
    std::string bytes = hugeFile();
    bytes.resize(SettingsReadCap + 1);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    SettingsReading reading = readSettingsFile();
    EXPECT_EQ(reading.settings.mouseSensitivity, 3.0f);
    ASSERT_EQ(reading.problems.size(), 1u) << "the cut line is named";
    EXPECT_EQ(reading.problems[0].line, 1025);
    std::remove(path.c_str());
}
