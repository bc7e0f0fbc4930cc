// Each tool's options as one table, from which both the reading of the command line and
// the usage text come: an option is spelled, checked and explained in one place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tool_texts.h"

// What an option's value is, and so how it is read and checked.
enum class ValueKind : uint8_t {
    None,     // a switch
    Text,     // any text but an empty one
    Whole,    // a whole decimal number from min to max
    Bits,     // a whole number from min to max, decimal or with 0x hexadecimal
    Seconds,  // decimal seconds with at most three decimals; number holds milliseconds
    Parity,   // none, odd, even, mark, space; N, O, E, M, S; 0 to 4; number holds the code
    Language, // zh, zh-CN, cn, en, en-US; number holds the Language
    Port,     // a port name; on Windows a bare number n means COMn
};

struct OptionRow {
    int id;
    const char* name;               // "--baud"
    const char* alias;              // another spelling ("-h"), or nullptr
    ValueKind kind;
    unsigned long min, max;         // for Whole and Bits
    const char* ToolTexts::*value;  // the value's name in the usage; nullptr for a switch
    const char* ToolTexts::*help;
};

struct OptionValue {
    int id;
    std::string text;           // as given (a port: as it will be opened)
    unsigned long number = 0;   // the checked number, where the kind has one
};

struct CommandLine {
    std::vector<OptionValue> options; // in the order given
    std::vector<std::string> operands;

    bool Has(int id) const { return Last(id) != nullptr; }
    // The last time the option was given, or nullptr.
    const OptionValue* Last(int id) const;
};

using OptionTable = std::vector<OptionRow>;

// Reads the arguments by the table. An option that is not there, a missing value or one
// outside its range is said (in t's language, after "tool: ") and false returned.
bool ParseCommandLine(const OptionTable& table, int argc, char** argv, const ToolTexts& t, CommandLine& out);

// The usage: the synopsis, one entry per option with its explanation, the exit status.
std::string UsageText(const OptionTable& table, const char* synopsis, const char* exitStatus, const ToolTexts& t);

// --help and --version, the same in every tool: the usage, or the tool's name and version,
// on standard output. True when one of them was asked for; the tool then ends.
bool AnswerHelpOrVersion(const CommandLine& command, const OptionTable& table, const char* tool,
                         const char* synopsis, const char* exitStatus, const ToolTexts& t);

// A decimal whole number from min to max, nothing else (no sign, blank, base prefix).
bool ParseWholeNumber(const char* text, unsigned long min, unsigned long max, unsigned long& out);

// The port as it will be opened: on Windows a bare number n, 1 to 255, is COMn.
std::string PortName(const char* text);

// Options every tool has.
enum CommonOptionId { kOptHelp = 1, kOptVersion, kOptLang, kOptUtf8, kFirstToolOption = 100 };
extern const OptionRow kHelpOption, kVersionOption, kLangOption, kUtf8Option;
