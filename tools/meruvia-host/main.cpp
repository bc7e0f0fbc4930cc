// meruvia-host: does what the host application does with the MERUVIA driver, from the
// command line, so that a display can be tried without the host; registers, removes and
// checks the driver's installation. Windows console program.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "console.h"
#include "doctor.h"
#include "driver_session.h"
#include "line_options.h"
#include "registration.h"
#include "texts.h"

namespace {

enum class Action { Send, Doctor, LampTest, Unregister, Help };

struct Options {
    Action action = Action::Send;
    const char* lang = nullptr;
    std::string dll;
    bool doRegister = false;
    LineOptions line;
    bool portGiven = false;
    unsigned long intervalMs = 1000;
    std::string device = "0";
    std::string registerText = "N";
    unsigned long dataType = 0x0080;
    std::vector<std::string> values;
};

bool ParseNumber(const char* text, unsigned long max, unsigned long& out) {
    char* end = nullptr;
    errno = 0;
    out = strtoul(text, &end, 0);
    return errno == 0 && end != text && *end == '\0' && text[0] != '-' && out <= max;
}

// The language comes first, so that every complaint about the rest is in it.
const HostTexts* TextsFor(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (strcmp(argv[i], "--lang") == 0)
            return ChooseTexts(argv[i + 1]);
    return ChooseTexts(nullptr);
}

bool ParseOptions(int argc, char** argv, Options& o, const HostTexts& t) {
    o.line.port = "COM1";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        unsigned long n = 0;
        switch (TakeLineOption(argc, argv, i, o.line)) {
        case OptionResult::Taken:
            o.portGiven = o.portGiven || a == "--port";
            continue;
        case OptionResult::NoValue:
            Complain(t.needsValue, a.c_str());
            return false;
        case OptionResult::BadValue:
            if (a == "--parity")
                Complain(t.badParity, v);
            else
                Complain(t.badValue, v, a.c_str());
            return false;
        case OptionResult::NotMine:
            break;
        }
        const bool takesValue = a == "--dll" || a == "--device" || a == "--register-text" ||
                                a == "--data-type" || a == "--interval" || a == "--lang";
        if (takesValue && v == nullptr) {
            Complain(t.needsValue, a.c_str());
            return false;
        }
        if (a == "--help" || a == "-h" || a == "/?") {
            o.action = Action::Help;
        } else if (a == "--doctor") {
            o.action = Action::Doctor;
        } else if (a == "--lamp-test") {
            o.action = Action::LampTest;
        } else if (a == "--unregister") {
            o.action = Action::Unregister;
        } else if (a == "--register") {
            o.doRegister = true;
        } else if (takesValue) {
            ++i;
            if (a == "--dll") {
                o.dll = v;
            } else if (a == "--device") {
                o.device = v;
            } else if (a == "--register-text") {
                o.registerText = v;
            } else if (a == "--lang") {
                if (ChooseTexts(v) == nullptr) {
                    Complain(t.badLang, v);
                    return false;
                }
            } else if (a == "--data-type" && ParseNumber(v, 0xFFFF, n)) {
                o.dataType = n;
            } else if (a == "--interval" && ParseNumber(v, 3600000, n)) {
                o.intervalMs = n;
            } else {
                Complain(t.badValue, v, a.c_str());
                return false;
            }
        } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            Complain(t.unknownOption, a.c_str());
            return false;
        } else {
            o.values.push_back(a);
        }
    }
    return true;
}

std::string BesideThisProgram(const wchar_t* name) {
    wchar_t path[32768];
    const DWORD n = GetModuleFileNameW(nullptr, path, 32768);
    std::wstring dir(path, n);
    return Utf8((dir.substr(0, dir.find_last_of(L"\\/") + 1) + name).c_str());
}

int Run(const Options& o, const HostTexts& t) {
    const std::string dll = o.dll.empty() ? BesideThisProgram(L"MERUVIA.DLL") : o.dll;
    switch (o.action) {
    case Action::Help:
        Print(stdout, "%s", t.usage);
        return kOk;
    case Action::Unregister:
        return UnregisterDriver(dll, t);
    case Action::Doctor:
        if (o.doRegister && !RegisterDll(dll, t))
            return kNoDriver;
        return RunDoctor(o.portGiven ? &o.line : nullptr, t);
    case Action::Send:
    case Action::LampTest:
        break;
    }
    if (o.doRegister && !RegisterDll(dll, t))
        return kNoDriver;
    DriverSession session(t);
    if (const int rc = session.StartRuntime(); rc != kOk)
        return rc;
    if (const int rc = session.Create(); rc != kOk)
        return rc;
    if (const int rc = session.CheckTag(o.device, o.registerText, o.dataType); rc != kOk)
        return rc;
    if (const int rc = session.Open(o.line); rc != kOk)
        return rc;
    return o.action == Action::LampTest ? session.LampTest(o.intervalMs) : session.SendAll(o.values);
}

} // namespace

int main() {
    // The arguments as the user typed them, whatever the code page: paths may be Chinese.
    int argc = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (wide == nullptr)
        argc = 0; // no memory for the split: the tool then runs as if given nothing
    std::vector<std::string> utf8;
    utf8.reserve(static_cast<size_t>(argc));
    for (int i = 0; i < argc; ++i)
        utf8.push_back(Utf8(wide[i]));
    LocalFree(wide);
    std::vector<char*> argv;
    argv.reserve(utf8.size() + 1);
    std::transform(utf8.begin(), utf8.end(), std::back_inserter(argv), [](std::string& a) { return &a[0]; });
    argv.push_back(nullptr);

    const HostTexts* texts = TextsFor(argc, argv.data());
    if (texts == nullptr)
        texts = ChooseTexts("en");
    Options options;
    if (!ParseOptions(argc, argv.data(), options, *texts)) {
        Complain("%s", texts->seeHelp);
        return kUsage;
    }
    return Run(options, *texts);
}
