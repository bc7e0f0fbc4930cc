#include "driver_session.h"

#include <windows.h>
#include <ole2.h>

#include <cstring>

#include "addressing/error_codes.h"
#include "tool_console.h"
#include "windows_text.h"
#include "host/host_interfaces.h"
#include "host/one_value_block.h"
#include "host/port_config.h"

DriverSession::~DriverSession() {
    if (io_ != nullptr)
        io_->Release();
    if (config_ != nullptr) {
        if (portOpen_)
            config_->ClosePort();
        config_->Release();
    }
    if (runtime_)
        CoUninitialize();
}

int DriverSession::StartRuntime() {
    if (FAILED(CoInitialize(nullptr))) {
        Complain("%s", t_.runtimeFailed);
        return kNoDriver;
    }
    runtime_ = true;
    return kOk;
}

int DriverSession::Create(bool quiet, std::string* failure) {
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(kMeruviaProgIdW, &clsid))) {
        if (!quiet)
            Complain("%s", t_.notRegistered);
        if (failure != nullptr)
            *failure = t_.notRegistered;
        return kNoDriver;
    }
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDriverConfig,
                                  reinterpret_cast<void**>(&config_));
    if (SUCCEEDED(hr))
        hr = config_->QueryInterface(IID_IDriverIo, reinterpret_cast<void**>(&io_));
    if (FAILED(hr)) {
        const std::string reason = SystemMessage(static_cast<DWORD>(hr), t_);
        if (!quiet)
            Complain(t_.cannotCreate, reason.c_str());
        if (failure != nullptr)
            *failure = reason;
        return kNoDriver;
    }
    return kOk;
}

// The driver's own text as it gave it (code page 936), and in English what it means: on an
// English system the Chinese may show as boxes.
std::string DriverSession::DriverText(const char* text) const {
    std::string shown = FromCodePage(936, text);
    if (&t_ != &kEnglishTexts || text == nullptr)
        return shown;
    for (int32_t code = 0; ErrorTextFor(code) != nullptr; ++code)
        if (strcmp(text, ErrorTextFor(code)) == 0)
            return shown + " (" + ErrorMeaningFor(code) + ")";
    return shown;
}

int DriverSession::CheckTag(const std::string& device, const std::string& registerText,
                            unsigned long dataType) {
    int32_t number = 0;
    if (!config_->ParseDeviceAddress(device.c_str(), &number)) {
        Complain(t_.deviceRefused, device.c_str(), DriverText(config_->GetErrorText()).c_str());
        return kRefused;
    }
    // The host hands the driver texts in the system's code page.
    TagDef tag{};
    const std::wstring wide = Wide(registerText);
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, tag.szRegister, sizeof tag.szRegister,
                                      nullptr, nullptr);
    if (n == 0 && !wide.empty()) {
        Complain(t_.registerTooLong, static_cast<unsigned>(sizeof tag.szRegister - 1));
        return kUsage;
    }
    tag.nDataType = static_cast<uint16_t>(dataType);
    TagAddress address{};
    address.nDevice = static_cast<uint16_t>(number);
    if (config_->ParseTagAddress(&tag, &address) != 0) {
        Complain(t_.tagRefused, registerText.c_str(), dataType, DriverText(config_->GetErrorText()).c_str());
        return kRefused;
    }
    return kOk;
}

bool FillPortConfig(const LineOptions& line, PortConfig& pc) {
    return MakePortConfig(line.port.c_str(), static_cast<uint32_t>(line.baud), static_cast<uint16_t>(line.dataBits),
                          static_cast<int16_t>(line.stopBits), static_cast<uint16_t>(line.parity), pc);
}

int DriverSession::Open(const LineOptions& line, bool quiet) {
    PortConfig pc;
    if (!FillPortConfig(line, pc)) {
        if (!quiet)
            Complain(t_.portTooLong, line.port.c_str());
        return kUsage;
    }
    if (!config_->OpenPort(0, &pc)) {
        if (!quiet)
            Complain(t_.cannotOpen, line.port.c_str(), LineSummary(line).c_str());
        return kNoPort;
    }
    portOpen_ = true;
    if (!quiet) {
        Print(stdout, t_.opened, line.port.c_str(), LineSummary(line).c_str());
        Print(stdout, "\n");
    }
    return kOk;
}

ValueSender DriverSession::Sender() {
    return ValueSender(t_, [this](float value) {
        const OneValueBlock block(value);
        return io_->WriteBlock(block.get()) != 0;
    });
}
