// meruvia-host: does what the host application does with the MERUVIA driver, from the
// command line, so that a display can be tried without the host; registers, removes and
// checks the driver's installation. Windows console program.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "doctor.h"
#include "driver_session.h"
#include "line_options.h"
#include "option_table.h"
#include "registration.h"
#include "tool_console.h"
#include "tool_texts.h"
#include "windows_text.h"

namespace {

enum HostOptionId {
    kOptDoctor = kFirstToolOption,
    kOptLampTest,
    kOptInterval,
    kOptInteractive,
    kOptRegister,
    kOptUnregister,
    kOptDll,
    kOptDevice,
    kOptRegisterText,
    kOptDataType,
};

OptionTable HostOptions() {
    OptionTable table = {
        {kOptDoctor, "--doctor", nullptr, ValueKind::None, 0, 0, nullptr, &ToolTexts::helpDoctor},
        {kOptLampTest, "--lamp-test", nullptr, ValueKind::None, 0, 0, nullptr, &ToolTexts::helpLampTest},
        {kOptInterval, "--interval", nullptr, ValueKind::Whole, 0, 3600000, &ToolTexts::valueMs,
         &ToolTexts::helpInterval},
        {kOptInteractive, "--interactive", nullptr, ValueKind::None, 0, 0, nullptr, &ToolTexts::helpInteractive},
        {kOptRegister, "--register", nullptr, ValueKind::None, 0, 0, nullptr, &ToolTexts::helpRegister},
        {kOptUnregister, "--unregister", nullptr, ValueKind::None, 0, 0, nullptr, &ToolTexts::helpUnregister},
        {kOptDll, "--dll", nullptr, ValueKind::Text, 0, 0, &ToolTexts::valuePath, &ToolTexts::helpDll},
    };
    const OptionTable line = LineOptionRows(&ToolTexts::helpPort);
    table.insert(table.end(), line.begin(), line.end());
    const OptionTable tag = {
        {kOptDevice, "--device", nullptr, ValueKind::Text, 0, 0, &ToolTexts::valueText, &ToolTexts::helpDevice},
        {kOptRegisterText, "--register-text", nullptr, ValueKind::Text, 0, 0, &ToolTexts::valueText,
         &ToolTexts::helpRegisterText},
        {kOptDataType, "--data-type", nullptr, ValueKind::Bits, 0, 0xFFFF, &ToolTexts::valueBits,
         &ToolTexts::helpDataType},
        kLangOption,
        kUtf8Option,
        kVersionOption,
        kHelpOption,
        {kOptHelp, "/?", nullptr, ValueKind::None, 0, 0, nullptr, &ToolTexts::helpHelp},
    };
    table.insert(table.end(), tag.begin(), tag.end());
    return table;
}

// What was asked for: the commands that do their job and end, and the ways values go out.
struct Request {
    bool doctor = false, doRegister = false, unregister = false;
    bool lampTest = false, interactive = false;
    std::string dll;
    LineOptions line;
    bool portGiven = false;
    unsigned long intervalMs = 1000;
    std::string device = "0";
    std::string registerText = "N";
    unsigned long dataType = 0x0080;
    std::vector<std::string> values;

    bool SendsValues() const { return lampTest || interactive || !values.empty(); }
};

Request ReadRequest(const CommandLine& command) {
    Request r;
    r.line.port = "COM1";
    ApplyLineOptions(command, r.line);
    r.portGiven = command.Has(kOptPort);
    r.values = command.operands;
    for (const OptionValue& o : command.options) {
        switch (o.id) {
        case kOptDoctor: r.doctor = true; break;
        case kOptRegister: r.doRegister = true; break;
        case kOptUnregister: r.unregister = true; break;
        case kOptLampTest: r.lampTest = true; break;
        case kOptInteractive: r.interactive = true; break;
        case kOptInterval: r.intervalMs = o.number; break;
        case kOptDll: r.dll = o.text; break;
        case kOptDevice: r.device = o.text; break;
        case kOptRegisterText: r.registerText = o.text; break;
        case kOptDataType: r.dataType = o.number; break;
        default: break;
        }
    }
    return r;
}

std::string BesideThisProgram(const wchar_t* name) {
    wchar_t path[32768];
    const DWORD n = GetModuleFileNameW(nullptr, path, 32768);
    std::wstring dir(path, n);
    return Utf8((dir.substr(0, dir.find_last_of(L"\\/") + 1) + name).c_str());
}

int SendValues(const Request& r, const ToolTexts& t) {
    DriverSession session(t);
    if (const int rc = session.StartRuntime(); rc != kOk)
        return rc;
    if (const int rc = session.Create(); rc != kOk)
        return rc;
    if (const int rc = session.CheckTag(r.device, r.registerText, r.dataType); rc != kOk)
        return rc;
    if (const int rc = session.Open(r.line); rc != kOk)
        return rc;
    ValueSender sender = session.Sender();
    if (r.lampTest)
        return sender.LampTest(r.intervalMs);
    int status = sender.SendAll(r.values);
    if (r.interactive)
        status = sender.Interactive();
    return status;
}

int Run(const Request& r, const ToolTexts& t) {
    const std::string dll = r.dll.empty() ? BesideThisProgram(L"MERUVIA.DLL") : r.dll;
    if (r.unregister)
        return UnregisterDriver(dll, t);
    if (r.doRegister && !RegisterDll(dll, t))
        return kNoDriver;
    if (r.doctor)
        return RunDoctor(r.portGiven ? &r.line : nullptr, t);
    if (r.SendsValues())
        return SendValues(r, t);
    if (r.doRegister)
        return kOk;
    Complain("%s", t.nothingToDo);
    Complain("%s", t.seeHelp);
    return kUsage;
}

// Started from Explorer: the window would close before anyone read it. Say what the tool
// is, check the installation, and keep the window until a key is pressed.
int RunOnItsOwn(const ToolTexts& t) {
    Print(stdout, t.hostIntro, MERUVIA_VERSION_TEXT);
    const int status = RunDoctor(nullptr, t);
    Print(stdout, "\n%s\n", t.pressAKey);
    WaitForKey();
    return status;
}

} // namespace

int main() {
    std::vector<std::string> arguments = ArgumentsUtf8();
    std::vector<char*> argv = ArgumentPointers(arguments);
    const int argc = static_cast<int>(arguments.size());

    SetToolName("meruvia-host");
    UseUtf8Output(std::find_if(argv.begin(), argv.end() - 1, [](const char* a) { return strcmp(a, "--utf8") == 0; }) !=
                  argv.end() - 1);
    const ToolTexts& t = TextsFor(LanguageOfCommandLine(argc, argv.data()));
    if (argc <= 1 && OwnsItsConsole())
        return RunOnItsOwn(t);
    const OptionTable options = HostOptions();
    CommandLine command;
    if (!ParseCommandLine(options, argc, argv.data(), t, command)) {
        Complain("%s", t.seeHelp);
        return kUsage;
    }
    if (argc <= 1) { // nothing asked for, at a prompt: what there is to ask
        Print(stdout, "%s", UsageText(options, t.hostSynopsis, t.hostExitStatus, t).c_str());
        return kOk;
    }
    if (AnswerHelpOrVersion(command, options, "meruvia-host", t.hostSynopsis, t.hostExitStatus, t))
        return kOk;
    return Run(ReadRequest(command), t);
}
