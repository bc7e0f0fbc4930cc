#include "line_options.h"

#include <cmath>
#include <cstdio>

#include "host/port_config.h"

const char* const kParityNames[5] = {"none", "odd", "even", "mark", "space"};

const float kLampTestValues[13] = {888.888f, 0.0f,     111.111f, 222.222f, 333.333f,
                                   444.444f, 555.555f, 666.666f, 777.777f, 888.888f,
                                   999.999f, 123.456f, NAN};

std::vector<OptionRow> LineOptionRows(const char* ToolTexts::*portHelp) {
    std::vector<OptionRow> rows;
    if (portHelp != nullptr)
        rows.push_back({kOptPort, "--port", nullptr, ValueKind::Port, 0, 0, &ToolTexts::valuePort, portHelp});
    rows.push_back({kOptBaud, "--baud", nullptr, ValueKind::Whole, 1, 4000000, &ToolTexts::valueNumber,
                     &ToolTexts::helpBaud});
    rows.push_back({kOptDataBits, "--data-bits", nullptr, ValueKind::Whole, 5, 8, &ToolTexts::valueNumber,
                     &ToolTexts::helpDataBits});
    rows.push_back({kOptParity, "--parity", nullptr, ValueKind::Parity, 0, 4, &ToolTexts::valueParity,
                     &ToolTexts::helpParity});
    rows.push_back({kOptStopBits, "--stop-bits", nullptr, ValueKind::Whole, 1, 2, &ToolTexts::valueNumber,
                     &ToolTexts::helpStopBits});
    return rows;
}

void ApplyLineOptions(const CommandLine& command, LineOptions& line) {
    for (const OptionValue& o : command.options) {
        switch (o.id) {
        case kOptPort: line.port = o.text; break;
        case kOptBaud: line.baud = o.number; break;
        case kOptDataBits: line.dataBits = static_cast<int>(o.number); break;
        case kOptParity: line.parity = static_cast<int>(o.number); break;
        case kOptStopBits: line.stopBits = static_cast<int>(o.number); break;
        default: break;
        }
    }
}

LineSettings ToLineSettings(const LineOptions& line) {
    LineSettings settings = {static_cast<uint32_t>(line.baud), DataBits::Eight, Parity::None,
                             MapStopBits(static_cast<int16_t>(line.stopBits))};
    MapDataBits(static_cast<uint16_t>(line.dataBits), settings.dataBits);
    MapParity(static_cast<uint16_t>(line.parity), settings.parity);
    return settings;
}

const char* PortFailureText(SerialOpenFailure failure, const ToolTexts& t) {
    switch (failure) {
    case SerialOpenFailure::NoSuchPort: return t.portMissing;
    case SerialOpenFailure::InUse: return t.portInUse;
    case SerialOpenFailure::SettingsRefused: return t.portRefusesSettings;
    case SerialOpenFailure::NotSerial: return t.portNotSerial;
    case SerialOpenFailure::None:
    case SerialOpenFailure::Other: break;
    }
    return nullptr;
}

std::string LineSummary(const LineOptions& line) {
    return std::to_string(line.baud) + " " + std::to_string(line.dataBits) + kParityLetters[line.parity] +
           std::to_string(line.stopBits);
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
