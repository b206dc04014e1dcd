// The one option parser and help printer of the console programs, driven by each program's table.
#include "base/options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/log.h"

namespace {

constexpr int HelpLineCapacity = 1024;

const Option* findOption(const OptionTable& table, const char* argument) {
    for (int i = 0; i < table.optionCount; ++i) {
        const Option& option = table.options[i];
        if (!std::strcmp(argument, option.name) || (option.alias && !std::strcmp(argument, option.alias)))
            return &option;
    }
    return nullptr;
}

// strtol's reading, which the programs always used (leading blanks and a sign pass), but a number
// beyond a long fails instead of turning into the largest one.
bool readNumber(const char* text, long low, long high, long& out) {
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    if (!*text || *end || errno == ERANGE || value < low || value > high) return false;
    out = value;
    return true;
}

void setDefault(const Option& option) {
    switch (option.kind) {
    case OptionKind::Number: *option.number = option.defaultNumber; break;
    case OptionKind::Text: *option.text = option.defaultText; break;
    case OptionKind::Help:
    case OptionKind::Version: *option.asked = false; break;
    }
}

// "  --port N", or "  -h, --help".
void formatLead(const Option& option, char* lead, size_t capacity) {
    std::snprintf(lead, capacity, "  %s%s%s%s%s", option.alias ? option.alias : "", option.alias ? ", " : "",
                  option.name, option.valueName ? " " : "", option.valueName ? option.valueName : "");
}

// The text after the lead from column on, broken at spaces so that no line passes HelpWidth; the
// lead stands before the first line only.
void printWrapped(const char* lead, int column, const char* text) {
    const int room = HelpWidth - column;
    bool first = true;
    while (*text) {
        int length = int(std::strlen(text));
        if (length > room) {
            int cut = room;
            while (cut > 0 && text[cut] != ' ') --cut;
            length = cut > 0 ? cut : room;  // a word longer than the room is cut where it must be
        }
        logLine("%-*s%.*s", column, first ? lead : "", length, text);
        text += length;
        while (*text == ' ') ++text;
        first = false;
    }
}

// "[--port N] [--bind ADDRESS]" after "Usage: command", breaking only between options.
void printUsage(const OptionTable& table) {
    char line[HelpLineCapacity];
    const int indent = std::snprintf(line, sizeof line, "Usage: %s", table.command);
    int used = indent;
    for (int i = 0; i < table.optionCount; ++i) {
        const Option& option = table.options[i];
        if (option.kind == OptionKind::Help || option.kind == OptionKind::Version) continue;
        char piece[128];
        int length = std::snprintf(piece, sizeof piece, " [%s %s]", option.name, option.valueName);
        if (used + length > HelpWidth && used > indent) {
            logLine("%s", line);
            used = std::snprintf(line, sizeof line, "%*s", indent, "");
        }
        used += std::snprintf(line + used, sizeof line - size_t(used), "%s", piece);
    }
    logLine("%s", line);
}

}  // namespace

bool parseOptions(const OptionTable& table, int argumentCount, const char* const* arguments) {
    for (int i = 0; i < table.optionCount; ++i) setDefault(table.options[i]);
    for (int i = 1; i < argumentCount; ++i) {
        const Option* option = findOption(table, arguments[i]);
        if (!option) {
            logLine("%s: unknown option %s (see --help)", table.messagePrefix, arguments[i]);
            return false;
        }
        if (option->kind == OptionKind::Help || option->kind == OptionKind::Version) {
            *option->asked = true;
            return true;
        }
        if (i + 1 >= argumentCount) {
            logLine("%s: %s needs a value (see --help)", table.messagePrefix, option->name);
            return false;
        }
        const char* value = arguments[++i];
        if (option->kind == OptionKind::Text) {
            *option->text = value;
        } else if (!readNumber(value, option->low, option->high, *option->number)) {
            logLine("%s: %s takes a whole number from %ld to %ld, not \"%s\"", table.messagePrefix, option->name,
                    option->low, option->high, value);
            return false;
        }
    }
    return true;
}

void printOptionHelp(const OptionTable& table) {
    printUsage(table);
    printWrapped("", 0, table.about);
    int column = 0;
    char lead[128];
    for (int i = 0; i < table.optionCount; ++i) {
        formatLead(table.options[i], lead, sizeof lead);
        int width = int(std::strlen(lead)) + 2;
        column = width > column ? width : column;
    }
    for (int i = 0; i < table.optionCount; ++i) {
        const Option& option = table.options[i];
        char range[64] = "";
        if (option.kind == OptionKind::Number)
            std::snprintf(range, sizeof range, ", %ld to %ld", option.low, option.high);
        char defaultNumber[32];
        std::snprintf(defaultNumber, sizeof defaultNumber, "%ld", option.defaultNumber);
        const char* shownDefault = option.defaultMeaning                  ? option.defaultMeaning
                                   : option.kind == OptionKind::Number ? defaultNumber
                                   : option.kind == OptionKind::Text   ? option.defaultText
                                                                       : nullptr;
        char text[HelpLineCapacity];
        std::snprintf(text, sizeof text, "%s%s%s%s%s", option.help, range, shownDefault ? " (default " : "",
                      shownDefault ? shownDefault : "", shownDefault ? ")" : "");
        formatLead(option, lead, sizeof lead);
        printWrapped(lead, column, text);
    }
    if (table.notes) printWrapped("", 0, table.notes);
}

bool takeProgramOptions(const OptionTable& table, int argumentCount, const char* const* arguments, int& exitCode) {
    if (!parseOptions(table, argumentCount, arguments)) {
        exitCode = 2;
        return false;
    }
    for (int i = 0; i < table.optionCount; ++i) {
        const Option& option = table.options[i];
        if (option.kind == OptionKind::Help && *option.asked) {
            printOptionHelp(table);
            exitCode = 0;
            return false;
        }
        if (option.kind == OptionKind::Version && *option.asked) {
            logLine("%s release %d", table.command, table.releaseNumber);
            exitCode = 0;
            return false;
        }
    }
    return true;
}
