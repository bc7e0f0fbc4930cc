#include "driver_session.h"

#include <windows.h>
#include <ole2.h>

#include <cstring>

#include "console.h"
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
        const std::string reason = SystemMessage(static_cast<DWORD>(hr));
        if (!quiet)
            Complain(t_.cannotCreate, reason.c_str());
        if (failure != nullptr)
            *failure = reason;
        return kNoDriver;
    }
    return kOk;
}

int DriverSession::CheckTag(const std::string& device, const std::string& registerText,
                            unsigned long dataType) {
    int32_t number = 0;
    if (!config_->ParseDeviceAddress(device.c_str(), &number)) {
        Complain(t_.deviceRefused, device.c_str(), FromCodePage(936, config_->GetErrorText()).c_str());
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
        Complain(t_.tagRefused, registerText.c_str(), dataType,
                 FromCodePage(936, config_->GetErrorText()).c_str());
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

bool DriverSession::WriteValue(float value) {
    const OneValueBlock block(value);
    return io_->WriteBlock(block.get()) != 0;
}

int DriverSession::Send(const std::string& text) {
    float value = 0;
    if (!ParseValue(text, value)) {
        Complain(t_.notANumber, text.c_str());
        return kUsage;
    }
    const DisplayFrame frame = EncodeDisplayFrame(FloatBits(value));
    if (!HasDigits(value))
        Complain(t_.noDigits, text.c_str());
    else if (!IsShownWhole(value))
        Complain(t_.outsideDisplay, text.c_str(), Reading(frame).c_str());
    if (!WriteValue(value)) {
        Complain(t_.notWhole, text.c_str());
        return kWriteFailed;
    }
    Print(stdout, t_.sent, text.c_str(), FrameText(frame).c_str(), Reading(frame).c_str());
    Print(stdout, "\n");
    return kOk;
}

int DriverSession::SendAll(const std::vector<std::string>& values) {
    return SendEach(values, [this](const std::string& text) { return Send(text); });
}

int DriverSession::LampTest(unsigned long intervalMs) {
    for (int k = 0; k < kLampTestFrames; ++k) {
        if (k > 0)
            Sleep(intervalMs);
        const DisplayFrame frame = EncodeDisplayFrame(FloatBits(kLampTestValues[k]));
        if (!WriteValue(kLampTestValues[k])) {
            Complain(t_.notWhole, Reading(frame).c_str());
            return kWriteFailed;
        }
        Print(stdout, t_.lampStep, k + 1, kLampTestFrames, Reading(frame).c_str());
        Print(stdout, "\n");
    }
    return kOk;
}
