// Reading "settings.txt". Every bad line becomes a problem with its number and the line is ignored;
// nothing a person can type stops the rest of the file from counting.
#include "app/settings.h"

#include <charconv>
#include <cmath>
#include <initializer_list>
#include <string_view>

namespace {

// ASCII text from the file's bytes: a UTF-8 byte order mark dropped, UTF-16 (which Notepad saves as
// "Unicode") decoded, any character beyond ASCII kept as a byte no key or value accepts.
std::string decodedText(const unsigned char* bytes, size_t size) {
    std::string text;
    bool littleEndian = size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    bool bigEndian = size >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF;
    if (littleEndian || bigEndian) {
        for (size_t i = 2; i + 1 < size; i += 2) {
            unsigned unit = littleEndian ? bytes[i] | bytes[i + 1] << 8 : bytes[i] << 8 | bytes[i + 1];
            text.push_back(unit < 0x80 ? char(unit) : '\x80');
        }
        return text;
    }
    size_t start = size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
    text.assign(reinterpret_cast<const char*>(bytes) + start, size - start);
    return text;
}

std::string_view trimmed(std::string_view text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool sameWord(std::string_view text, std::string_view lowerCaseWord) {
    if (text.size() != lowerCaseWord.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i] >= 'A' && text[i] <= 'Z' ? char(text[i] - 'A' + 'a') : text[i];
        if (c != lowerCaseWord[i]) return false;
    }
    return true;
}

// What a person wrote, fit for a log line: printable ASCII only, and not too long.
std::string shown(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size() && i < 40; ++i) out.push_back(text[i] >= 0x20 && text[i] <= 0x7E ? text[i] : '?');
    if (text.size() > 40) out += "...";
    return out;
}

enum class Number { Read, NotANumber, Enormous };

Number readNumber(std::string_view text, double& value) {
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error == std::errc::result_out_of_range && stop == end) return Number::Enormous;
    if (error != std::errc() || stop != end || !std::isfinite(value)) return Number::NotANumber;
    return Number::Read;
}

bool readWholeNumber(std::string_view text, int& value, bool& enormous) {
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    enormous = error == std::errc::result_out_of_range && stop == end;
    return (error == std::errc() || enormous) && stop == end;
}

struct Reader {
    SettingsReading& reading;
    int line;

    // The reason is given in pieces, joined only when the line is named.
    void problem(std::initializer_list<std::string_view> pieces) {
        if (reading.problems.size() < SettingsProblemCapacity) {
            std::string reason;
            for (std::string_view piece : pieces) reason += piece;
            reading.problems.push_back({line, std::move(reason)});
        } else {
            ++reading.problemsNotNamed;
        }
    }

    void number(std::string_view key, std::string_view value, float low, float high, const char* range, float& out) {
        double read = 0.0;
        Number kind = readNumber(value, read);
        if (kind == Number::NotANumber) {
            problem({key, " \"", shown(value), "\" is not a number"});
        } else if (kind == Number::Enormous || float(read) < low || float(read) > high) {
            problem({key, " ", shown(value), " is outside ", range});
        } else {
            out = float(read);
        }
    }

    void yesOrNo(std::string_view key, std::string_view value, bool& out) {
        if (sameWord(value, "yes")) {
            out = true;
        } else if (sameWord(value, "no")) {
            out = false;
        } else {
            problem({key, " \"", shown(value), "\" is neither yes nor no"});
        }
    }

    void windowSize(std::string_view value, Settings& settings) {
        size_t by = value.find_first_of("xX");
        int width = 0, height = 0;
        bool wideEnormous = false, highEnormous = false;
        if (by == std::string_view::npos || !readWholeNumber(trimmed(value.substr(0, by)), width, wideEnormous) ||
            !readWholeNumber(trimmed(value.substr(by + 1)), height, highEnormous)) {
            problem({"window \"", shown(value), "\" is not a width x height such as 1280 x 720"});
        } else if (wideEnormous || highEnormous || width < WindowWidthLowest || height < WindowHeightLowest ||
                   width > WindowSideHighest || height > WindowSideHighest) {
            problem({"window ", shown(value), " is outside 320 x 240 to 16384 x 16384"});
        } else {
            settings.windowWidth = width;
            settings.windowHeight = height;
        }
    }

    void setting(std::string_view text) {
        size_t equals = text.find('=');
        if (equals == std::string_view::npos) {
            problem({"\"", shown(text), "\" has no \"=\" between a key and its value"});
            return;
        }
        std::string_view key = trimmed(text.substr(0, equals)), value = trimmed(text.substr(equals + 1));
        Settings& settings = reading.settings;
        bool known = sameWord(key, "mouse_sensitivity") || sameWord(key, "invert_mouse") ||
                     sameWord(key, "field_of_view") || sameWord(key, "window") || sameWord(key, "fullscreen");
        if (!known) {
            problem({"unknown key \"", shown(key), "\""});
        } else if (value.empty()) {
            problem({shown(key), " has no value"});
        } else if (sameWord(key, "mouse_sensitivity")) {
            number("mouse_sensitivity", value, MouseSensitivityLowest, MouseSensitivityHighest, "0.1 to 10",
                   settings.mouseSensitivity);
        } else if (sameWord(key, "invert_mouse")) {
            yesOrNo("invert_mouse", value, settings.invertMouse);
        } else if (sameWord(key, "field_of_view")) {
            number("field_of_view", value, FieldOfViewLowest, FieldOfViewHighest, "50 to 110", settings.fieldOfView);
        } else if (sameWord(key, "window")) {
            windowSize(value, settings);
        } else {
            yesOrNo("fullscreen", value, settings.fullscreen);
        }
    }
};

}  // namespace

SettingsReading parseSettings(const char* bytes, size_t size) {
    SettingsReading reading;
    if (!bytes) return reading;
    bool cut = size > SettingsReadCap;
    std::string text = decodedText(reinterpret_cast<const unsigned char*>(bytes), cut ? SettingsReadCap : size);
    // A line the cap cuts through is not read at all: half a number would read as another number.
    if (cut) text.resize(text.find_last_of("\r\n") == std::string::npos ? 0 : text.find_last_of("\r\n") + 1);

    Reader reader = {reading, 0};
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find_first_of("\r\n", at);
        if (end == std::string::npos) end = text.size();
        ++reader.line;
        std::string_view line(text.data() + at, end - at);
        line = trimmed(line.substr(0, line.find('#')));
        if (!line.empty()) reader.setting(line);
        at = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    if (cut) {
        ++reader.line;
        reader.problem({"the file is longer than 65536 bytes, so this line and the rest are not read"});
    }
    return reading;
}

WindowSize startWindowSize(const Settings& settings, int displayWidth, int displayHeight) {
    WindowSize size = {settings.windowWidth, settings.windowHeight};
    if (displayWidth <= 0 || displayHeight <= 0) return size;
    if (size.width > displayWidth) size.width = displayWidth;
    if (size.height > displayHeight) size.height = displayHeight;
    return size;
}
