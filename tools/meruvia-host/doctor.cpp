#include "doctor.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "driver_session.h"
#include "file_version.h"
#include "port_list.h"
#include "host/host_interfaces.h"
#include "registration.h"
#include "serial/serial_link.h"
#include "tool_console.h"
#include "windows_text.h"

namespace {

class Report {
public:
    explicit Report(const ToolTexts& t) : t_(t) {}

    void Ok(const std::string& line) { Say(t_.ok, line); }
    void Warn(const std::string& line) { Say(t_.warning, line); }
    void Problem(int status, const std::string& line) {
        Say(t_.problem, line);
        ++problems_;
        if (first_ == kOk)
            first_ = status;
    }
    int Finish() {
        if (problems_ == 0)
            Print(stdout, "%s\n", t_.docAllWell);
        else
            Print(stdout, (std::string(t_.docProblems) + "\n").c_str(), problems_);
        return first_;
    }

private:
    void Say(const char* label, const std::string& line) { Print(stdout, "  %s %s\n", label, line.c_str()); }
    const ToolTexts& t_;
    int problems_ = 0;
    int first_ = kOk;
};

std::string Format(const char* format, const std::string& a = "", const std::string& b = "",
                   const std::string& c = "") {
    char text[2048];
    snprintf(text, sizeof text, format, a.c_str(), b.c_str(), c.c_str());
    return text;
}

void CheckRegistration(Report& report, const ToolTexts& t) {
    const std::wstring classKey = std::wstring(L"CLSID\\") + kMeruviaClassIdTextW;
    std::wstring value;
    if (!ReadClassesValue(std::wstring(kMeruviaProgIdW) + L"\\CLSID", value))
        report.Problem(kNoDriver, t.docProgIdMissing);
    else if (_wcsicmp(value.c_str(), kMeruviaClassIdTextW) != 0)
        report.Problem(kNoDriver, Format(t.docProgIdOther, Utf8(value.c_str())));
    else
        report.Ok(Format(t.docProgId, Utf8(kMeruviaClassIdTextW)));

    // The class key is the one 64-bit Windows keeps apart for 32-bit programs.
    if (!ReadClassesValue(classKey + L"\\ProgID", value)) {
        report.Problem(kNoDriver, t.docClassMissing);
        if (ClassIn64BitView())
            report.Warn(t.docOnly64);
        return;
    }
    if (_wcsicmp(value.c_str(), kMeruviaProgIdW) != 0)
        report.Problem(kNoDriver, Format(t.docClassBackWrong, Utf8(value.c_str())));
    else
        report.Ok(t.docClassBack);

    std::wstring server;
    if (!ReadClassesValue(classKey + L"\\InProcServer32", server) || server.empty()) {
        report.Problem(kNoDriver, t.docServerMissing);
        return;
    }
    // The name the engineer chose, not an 8.3 short name; the registered text beside it.
    const std::string shown = LongPathShown(server);
    if (GetFileAttributesW(server.c_str()) == INVALID_FILE_ATTRIBUTES) {
        report.Problem(kNoDriver, Format(t.docServerNoFile, shown));
        return;
    }
    const std::string version = FileVersion(server);
    // The tool and the driver come from one build: the version is the build's own.
    if (version != MERUVIA_VERSION_TEXT)
        report.Problem(kNoDriver, Format(t.docServerVersion, shown, MERUVIA_VERSION_TEXT, version.empty() ? "-" : version));
    else
        report.Ok(Format(t.docServer, shown, MERUVIA_VERSION_TEXT));
}

void CheckPorts(Report& report, const ToolTexts& t) {
    const std::vector<std::string> ports = SerialPortsOnThisPc(t.docInUse);
    if (ports.empty()) {
        report.Warn(t.docNoPorts);
        return;
    }
    std::string list;
    for (const std::string& p : ports)
        list += (list.empty() ? "" : ", ") + p;
    report.Ok(Format(t.docPorts, list));
}

// Why the port will not open with these settings, in the system's own words: the port is
// set up exactly as the driver sets it up.
void DiagnosePort(Report& report, const LineOptions& line, bool driverCreated, const ToolTexts& t) {
    const SerialOpenResult opened = OpenSerialPort(line.port.c_str(), ToLineSettings(line));
    switch (opened.failure) {
    case SerialOpenFailure::None:
        CloseSerialPort(opened.port);
        if (driverCreated) // it opens here but not through the driver
            report.Problem(kNoPort, Format(t.docPortNotByDriver, line.port, LineSummary(line)));
        else
            report.Ok(Format(t.docPortOpened, line.port, LineSummary(line)));
        return;
    case SerialOpenFailure::NoSuchPort: report.Problem(kNoPort, Format(t.docPortMissing, line.port)); return;
    case SerialOpenFailure::InUse: report.Problem(kNoPort, Format(t.docPortBusy, line.port)); return;
    case SerialOpenFailure::SettingsRefused:
        report.Problem(kNoPort, Format(t.docPortSettings, line.port, LineSummary(line), SystemMessage(opened.systemError, t)));
        return;
    case SerialOpenFailure::NotSerial:
    case SerialOpenFailure::Other: break;
    }
    report.Problem(kNoPort, Format(t.docPortOther, line.port, SystemMessage(opened.systemError, t)));
}

} // namespace

int RunDoctor(const LineOptions* port, const ToolTexts& t) {
    Report report(t);
    CheckRegistration(report, t);

    DriverSession session(t);
    std::string failure;
    bool created = session.StartRuntime() == kOk && session.Create(true, &failure) == kOk;
    if (created)
        report.Ok(t.docCreated);
    else
        report.Problem(kNoDriver, Format(t.docNotCreated, failure));

    CheckPorts(report, t);
    if (port != nullptr) {
        if (created && session.Open(*port, true) == kOk)
            report.Ok(Format(t.docPortOpened, port->port, LineSummary(*port)));
        else
            DiagnosePort(report, *port, created, t);
    }
    return report.Finish();
}
