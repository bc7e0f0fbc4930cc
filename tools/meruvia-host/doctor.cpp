#include "doctor.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "console.h"
#include "driver_session.h"
#include "file_version.h"
#include "host/host_interfaces.h"
#include "registration.h"
#include "serial/serial_link.h"

namespace {

class Report {
public:
    explicit Report(const HostTexts& t) : t_(t) {}

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
    const HostTexts& t_;
    int problems_ = 0;
    int first_ = kOk;
};

enum class PortState { Free, Busy, Absent };

std::string Format(const char* format, const std::string& a = "", const std::string& b = "",
                   const std::string& c = "") {
    char text[2048];
    snprintf(text, sizeof text, format, a.c_str(), b.c_str(), c.c_str());
    return text;
}

void CheckRegistration(Report& report, const HostTexts& t) {
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
    const std::string shown = Utf8(server.c_str());
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

// Whether COMn is there: it opens, or another program holds it.
PortState ProbePort(int n) {
    const std::wstring path = L"\\\\.\\COM" + std::to_wstring(n);
    HANDLE port = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port != INVALID_HANDLE_VALUE) {
        CloseHandle(port);
        return PortState::Free;
    }
    const DWORD error = GetLastError();
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? PortState::Busy : PortState::Absent;
}

// COM ports the system knows: the device names it lists, and each COMn tried in turn, since
// the list (like the registry's list of serial devices) may miss ports that were added
// later, such as a USB adapter or a mapped device. A port in use is marked so.
std::vector<std::string> SerialPorts(const HostTexts& t) {
    constexpr int kHighestPort = 256;
    std::vector<int> numbers;
    std::vector<wchar_t> names(65536);
    const DWORD n = QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size()));
    for (const wchar_t* p = names.data(); p < names.data() + n && *p != L'\0'; p += wcslen(p) + 1) {
        if (_wcsnicmp(p, L"COM", 3) != 0 || p[3] == L'\0')
            continue;
        const wchar_t* digits = p + 3;
        if (std::all_of(digits, digits + wcslen(digits), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
            numbers.push_back(_wtoi(digits));
    }
    std::sort(numbers.begin(), numbers.end());
    std::vector<std::string> ports;
    for (int k = 1; k <= kHighestPort; ++k) {
        const PortState state = ProbePort(k);
        if (state == PortState::Absent && !std::binary_search(numbers.begin(), numbers.end(), k))
            continue;
        ports.push_back("COM" + std::to_string(k) + (state == PortState::Busy ? t.docInUse : ""));
    }
    return ports;
}

void CheckPorts(Report& report, const HostTexts& t) {
    const std::vector<std::string> ports = SerialPorts(t);
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
void DiagnosePort(Report& report, const LineOptions& line, bool driverCreated, const HostTexts& t) {
    const SerialOpenResult opened = OpenSerialPort(line.port.c_str(), ToLineSettings(line));
    switch (opened.failure) {
    case SerialOpenFailure::None:
        CloseSerialPort(opened.port);
        if (driverCreated) // it opens here but not through the driver
            report.Problem(kNoPort, Format(t.docPortOther, line.port, "MERUVIA.DLL"));
        else
            report.Ok(Format(t.docPortOpened, line.port, LineSummary(line)));
        return;
    case SerialOpenFailure::NoSuchPort: report.Problem(kNoPort, Format(t.docPortMissing, line.port)); return;
    case SerialOpenFailure::InUse: report.Problem(kNoPort, Format(t.docPortBusy, line.port)); return;
    case SerialOpenFailure::SettingsRefused:
        report.Problem(kNoPort, Format(t.docPortSettings, line.port, LineSummary(line), SystemMessage(opened.systemError)));
        return;
    case SerialOpenFailure::NotSerial:
    case SerialOpenFailure::Other: break;
    }
    report.Problem(kNoPort, Format(t.docPortOther, line.port, SystemMessage(opened.systemError)));
}

} // namespace

int RunDoctor(const LineOptions* port, const HostTexts& t) {
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
