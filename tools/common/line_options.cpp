#include "line_options.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "exit_codes.h"
#include "host/port_config.h"

const char* const kParityNames[5] = {"none", "odd", "even", "mark", "space"};

const float kLampTestValues[13] = {888.888f, 0.0f,     111.111f, 222.222f, 333.333f,
                                   444.444f, 555.555f, 666.666f, 777.777f, 888.888f,
                                   999.999f, 123.456f, NAN};

namespace {

bool ParseWhole(const char* text, unsigned long& out) {
    char* end = nullptr;
    errno = 0;
    out = strtoul(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && text[0] != '-';
}

} // namespace

OptionResult TakeLineOption(int argc, char** argv, int& i, LineOptions& line) {
    const char* name = argv[i];
    const bool known = strcmp(name, "--port") == 0 || strcmp(name, "--baud") == 0 ||
                       strcmp(name, "--data-bits") == 0 || strcmp(name, "--parity") == 0 ||
                       strcmp(name, "--stop-bits") == 0;
    if (!known)
        return OptionResult::NotMine;
    if (i + 1 >= argc)
        return OptionResult::NoValue;
    const char* v = argv[++i];
    unsigned long n = 0;
    if (strcmp(name, "--port") == 0) {
        if (*v == '\0')
            return OptionResult::BadValue;
        line.port = v;
    } else if (strcmp(name, "--baud") == 0) {
        if (!ParseWhole(v, n) || n == 0 || n > 4000000)
            return OptionResult::BadValue;
        line.baud = n;
    } else if (strcmp(name, "--data-bits") == 0) {
        if (!ParseWhole(v, n) || n < 5 || n > 8)
            return OptionResult::BadValue;
        line.dataBits = static_cast<int>(n);
    } else if (strcmp(name, "--stop-bits") == 0) {
        if (!ParseWhole(v, n) || (n != 1 && n != 2))
            return OptionResult::BadValue;
        line.stopBits = static_cast<int>(n);
    } else {
        // As an engineer writes it: the name, its letter as in "8N1", or the host's code.
        int found = -1;
        for (int p = 0; p < 5; ++p) {
            const bool letter = v[0] != '\0' && v[1] == '\0' &&
                                (toupper(static_cast<unsigned char>(v[0])) == kParityLetters[p]);
            const bool code = v[0] == '0' + p && v[1] == '\0';
            if (strcasecmp(v, kParityNames[p]) == 0 || letter || code)
                found = p;
        }
        if (found < 0)
            return OptionResult::BadValue;
        line.parity = found;
    }
    return OptionResult::Taken;
}

LineSettings ToLineSettings(const LineOptions& line) {
    LineSettings settings = {static_cast<uint32_t>(line.baud), DataBits::Eight, Parity::None,
                             MapStopBits(static_cast<int16_t>(line.stopBits))};
    MapDataBits(static_cast<uint16_t>(line.dataBits), settings.dataBits);
    MapParity(static_cast<uint16_t>(line.parity), settings.parity);
    return settings;
}

std::string LineSummary(const LineOptions& line) {
    return std::to_string(line.baud) + " " + std::to_string(line.dataBits) + kParityLetters[line.parity] +
           std::to_string(line.stopBits);
}

int SendEach(const std::vector<std::string>& values, const std::function<int(const std::string&)>& send) {
    int worst = kOk;
    auto note = [&](int rc) {
        if (rc == kWriteFailed || (rc != kOk && worst == kOk))
            worst = rc;
    };
    for (const std::string& v : values)
        note(send(v));
    if (values.empty()) {
        char line[256];
        while (fgets(line, sizeof line, stdin) != nullptr) {
            std::string text(line);
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
                text.pop_back();
            if (!text.empty())
                note(send(text));
        }
    }
    return worst;
}

bool ParseValue(const std::string& text, float& value) {
    const char* start = text.c_str();
    while (*start == ' ' || *start == '\t')
        ++start;
    char* end = nullptr;
    value = strtof(start, &end);
    while (end != nullptr && (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n'))
        ++end;
    return end != start && end != nullptr && *end == '\0';
}

bool HasDigits(float value) { return std::isfinite(value); }

bool IsShownWhole(float value) {
    return std::isfinite(value) && value >= -99.999f && value <= 999.999f;
}

std::string Reading(const DisplayFrame& frame) {
    std::string reading;
    for (size_t k = kDisplayFrameSize - 1; k >= 1; --k)
        reading += static_cast<char>(frame.bytes[k]);
    return reading;
}

std::string FrameText(const DisplayFrame& frame) {
    return std::string(reinterpret_cast<const char*>(frame.bytes), kDisplayFrameSize);
}
