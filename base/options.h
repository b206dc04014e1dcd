// The console programs' command-line options: each main lists its options in a table, one parse
// reads the arguments against it and one printer writes --help from it, so the help text always says
// what the parse accepts.
#pragma once

enum class OptionKind {
    Number,  // a whole decimal number from low to high, both included
    Text,    // any text, checked where the program uses it
    Help,    // asks for the help text; the parse stops there, since nothing after it is used
    Version, // asks for the release number, like Help
};

// One option. A Number needs low, high, defaultNumber and number; a Text needs defaultText and text;
// Help needs asked. Fields a kind does not use stay zero; name and kind have no default, so the
// compiler warns of a row without them. Version, like Help, needs asked.
struct Option {
    const char* name;                 // "--port"
    const char* alias = nullptr;      // a short spelling ("-h"), or null
    OptionKind kind;
    const char* valueName = nullptr;  // how the help text shows the value: "N", "ADDRESS"
    const char* help = nullptr;       // what it does; the help text adds a Number's range and the default
    long low = 0;
    long high = 0;
    long defaultNumber = 0;
    const char* defaultText = nullptr;
    const char* defaultMeaning = nullptr;  // what the help text says of the default when its value alone would mislead
    long* number = nullptr;                // where a Number goes
    const char** text = nullptr;           // where a Text goes
    bool* asked = nullptr;                 // where Help and Version go
};

struct OptionTable {
    const char* command;        // as typed, for the usage line: "vornhalzanthery-server"
    const char* messagePrefix;  // before every message, as the program's other lines: "server"
    const char* about;          // a paragraph after the usage line
    const char* notes;          // a paragraph after the options, or null
    const Option* options;
    int optionCount;
    int releaseNumber = 0;  // what --version prints after the command
};

// Sets every option to its default, then reads arguments 1 to argumentCount - 1 into the places the
// table names; an option given twice keeps the later value. False, after one logged line naming the
// option, for an unknown option, a missing value or a number that is not whole or not in its range.
bool parseOptions(const OptionTable& table, int argumentCount, const char* const* arguments);

// The usage line, the about paragraph, one entry per option with its range and default, and the
// notes, each line through logLine, wrapped to HelpWidth columns.
constexpr int HelpWidth = 80;
void printOptionHelp(const OptionTable& table);

// A console program's options, taken as its main starts: false when main should end at once with
// exitCode, 2 after a refused option (its line says why) and 0 after printing the help text or the
// release number ("vornhalzanthery-server release 1").
bool takeProgramOptions(const OptionTable& table, int argumentCount, const char* const* arguments, int& exitCode);
