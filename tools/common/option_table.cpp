#include "option_table.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <strings.h>

#include "host/port_config.h"
#include "line_options.h"
#include "tool_console.h"

const OptionRow kHelpOption = {kOptHelp, "--help", "-h", ValueKind::None, 0, 0, nullptr, &ToolTexts::helpHelp};
const OptionRow kVersionOption = {kOptVersion, "--version", nullptr, ValueKind::None, 0, 0, nullptr,
                                   &ToolTexts::helpVersion};
const OptionRow kLangOption = {kOptLang, "--lang", nullptr, ValueKind::Language, 0, 0, &ToolTexts::valueLang,
                                &ToolTexts::helpLang};
const OptionRow kUtf8Option = {kOptUtf8, "--utf8", nullptr, ValueKind::None, 0, 0, nullptr, &ToolTexts::helpUtf8};

const OptionValue* CommandLine::Last(int id) const {
    const auto found = std::find_if(options.rbegin(), options.rend(), [id](const OptionValue& o) { return o.id == id; });
    return found == options.rend() ? nullptr : &*found;
}

bool ParseWholeNumber(const char* text, unsigned long min, unsigned long max, unsigned long& out) {
    if (*text == '\0' || strlen(text) > 10)
        return false;
    unsigned long long n = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        n = n * 10 + static_cast<unsigned>(*p - '0');
    }
    if (n < min || n > max)
        return false;
    out = static_cast<unsigned long>(n);
    return true;
}

std::string PortName(const char* text) {
#ifdef _WIN32
    unsigned long n = 0;
    if (ParseWholeNumber(text, 1, 255, n))
        return "COM" + std::to_string(n);
#endif
    return text;
}

namespace {

bool ParseBits(const char* text, unsigned long min, unsigned long max, unsigned long& out) {
    if (text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return ParseWholeNumber(text, min, max, out);
    const char* digits = text + 2;
    if (*digits == '\0' || strlen(digits) > 8)
        return false;
    unsigned long n = 0;
    for (const char* p = digits; *p != '\0'; ++p) {
        if (!isxdigit(static_cast<unsigned char>(*p)))
            return false;
        n = n * 16 + static_cast<unsigned long>(isdigit(static_cast<unsigned char>(*p)) ? *p - '0'
                                                                                       : (*p | 0x20) - 'a' + 10);
    }
    if (n < min || n > max)
        return false;
    out = n;
    return true;
}

// "2", "0.5", "1.250": into milliseconds, 1 to a day.
bool ParseSeconds(const char* text, unsigned long& ms) {
    const char* point = strchr(text, '.');
    const std::string whole = point == nullptr ? std::string(text) : std::string(text, point);
    std::string fraction = point == nullptr ? std::string() : std::string(point + 1);
    if ((whole.empty() && fraction.empty()) || fraction.size() > 3 || (point != nullptr && fraction.empty()))
        return false;
    unsigned long seconds = 0, thousandths = 0;
    if (!whole.empty() && !ParseWholeNumber(whole.c_str(), 0, 86400, seconds))
        return false;
    fraction.resize(3, '0');
    if (!ParseWholeNumber(fraction.c_str(), 0, 999, thousandths))
        return false;
    ms = seconds * 1000 + thousandths;
    return ms >= 1 && ms <= 86400000;
}

bool ParseParity(const char* v, unsigned long& code) {
    // As an engineer writes it: the name, its letter as in "8N1", or the host's code.
    for (unsigned p = 0; p < 5; ++p) {
        const bool letter = v[0] != '\0' && v[1] == '\0' && toupper(static_cast<unsigned char>(v[0])) == kParityLetters[p];
        const bool number = v[0] == static_cast<char>('0' + p) && v[1] == '\0';
        if (strcasecmp(v, kParityNames[p]) == 0 || letter || number) {
            code = p;
            return true;
        }
    }
    return false;
}

// Reads one value by its kind; says what is wrong when it is not one.
bool ReadValue(const OptionRow& row, const char* v, const ToolTexts& t, OptionValue& out) {
    out.text = v;
    switch (row.kind) {
    case ValueKind::None: return true;
    case ValueKind::Text:
        if (*v != '\0')
            return true;
        break;
    case ValueKind::Port:
        if (*v == '\0')
            break;
        out.text = PortName(v);
        return true;
    case ValueKind::Whole:
    case ValueKind::Bits:
        if ((row.kind == ValueKind::Whole ? ParseWholeNumber : ParseBits)(v, row.min, row.max, out.number))
            return true;
        Complain(t.badNumber, v, row.name, row.min, row.max);
        return false;
    case ValueKind::Seconds:
        if (ParseSeconds(v, out.number))
            return true;
        Complain(t.badSeconds, v, row.name);
        return false;
    case ValueKind::Parity:
        if (ParseParity(v, out.number))
            return true;
        Complain(t.badParity, v);
        return false;
    case ValueKind::Language: {
        Language language;
        if (ParseLanguage(v, language)) {
            out.number = static_cast<unsigned long>(language);
            return true;
        }
        Complain(t.badLang, v);
        return false;
    }
    }
    Complain(t.badValue, v, row.name);
    return false;
}

// Columns a text takes in a console: East Asian characters take two.
size_t Columns(const std::string& text) {
    size_t columns = 0;
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        columns += length >= 3 ? 2 : 1;
        i += length;
    }
    return columns;
}

} // namespace

bool ParseCommandLine(const OptionTable& table, int argc, char** argv, const ToolTexts& t, CommandLine& out) {
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const OptionRow* row = nullptr;
        for (const OptionRow& s : table)
            if (strcmp(a, s.name) == 0 || (s.alias != nullptr && strcmp(a, s.alias) == 0))
                row = &s;
        if (row == nullptr) {
            // A value may start with a minus ("-12.5"); a name never starts with a digit.
            const bool looksLikeOption = a[0] == '-' && (a[1] == '-' || isalpha(static_cast<unsigned char>(a[1])));
            if (looksLikeOption) {
                Complain(t.unknownOption, a);
                return false;
            }
            out.operands.push_back(a);
            continue;
        }
        OptionValue value{row->id, std::string(), 0};
        if (row->kind != ValueKind::None) {
            if (i + 1 >= argc) {
                Complain(t.needsValue, row->name);
                return false;
            }
            if (!ReadValue(*row, argv[++i], t, value))
                return false;
        }
        out.options.push_back(value);
    }
    return true;
}

std::string UsageText(const OptionTable& table, const char* synopsis, const char* exitStatus, const ToolTexts& t) {
    constexpr size_t kHelpColumn = 23;
    std::string usage = std::string(synopsis) + "\n";
    for (const OptionRow& s : table) {
        std::string entry = std::string("  ") + s.name;
        if (s.value != nullptr)
            entry += std::string(" ") + t.*s.value;
        const size_t used = Columns(entry);
        entry += std::string(used < kHelpColumn ? kHelpColumn - used : 1, ' ');
        // Every line of the explanation starts in the same column.
        for (const char* line = t.*s.help; *line != '\0';) {
            const char* end = strchr(line, '\n');
            const size_t length = end == nullptr ? strlen(line) : static_cast<size_t>(end - line);
            if (line != t.*s.help)
                entry += std::string(kHelpColumn, ' ');
            entry.append(line, length).append("\n");
            line += length + (end == nullptr ? 0 : 1);
        }
        usage += entry;
    }
    return usage + "\n" + exitStatus;
}

bool AnswerHelpOrVersion(const CommandLine& command, const OptionTable& table, const char* tool,
                         const char* synopsis, const char* exitStatus, const ToolTexts& t) {
    if (command.Has(kOptHelp))
        Print(stdout, "%s", UsageText(table, synopsis, exitStatus, t).c_str());
    else if (command.Has(kOptVersion))
        Print(stdout, "%s %s\n", tool, MERUVIA_VERSION_TEXT);
    else
        return false;
    return true;
}
