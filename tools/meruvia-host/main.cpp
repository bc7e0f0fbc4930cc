// meruvia-host: does what the host application does with the MERUVIA driver, from the
// command line, so that a display can be tried without the host. Windows console program.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "display/display_frame.h"
#include "driver/host_interfaces.h"

namespace {

const char kUsageText[] =
    "usage: meruvia-host [options] [VALUE ...]\n"
    "\n"
    "Creates the MERUVIA driver through the component runtime, as the host does, checks a\n"
    "tag, opens a serial port and sends each VALUE to the display (one frame per value).\n"
    "With no VALUE, values are read from standard input, one per line.\n"
    "\n"
    "  --register           register the driver first, as regsvr32 does\n"
    "  --dll PATH           the DLL --register registers (default: the MERUVIA.DLL beside\n"
    "                       this program)\n"
    "  --port NAME          serial port (default COM1)\n"
    "  --baud N             line speed (default 9600)\n"
    "  --data-bits N        5 to 8 (default 8)\n"
    "  --parity P           none, odd, even, mark or space (default none)\n"
    "  --stop-bits N        1 or 2 (default 1)\n"
    "  --device TEXT        the tag's device address, 0 to 255 (default 0)\n"
    "  --register-text TEXT the tag's register (default N)\n"
    "  --data-type BITS     the tag's data-type bits, e.g. 0x0080 (default 0x0080)\n"
    "  --help               this text\n"
    "\n"
    "Exit status: 0 all values sent; 1 bad usage or a value that is not a number;\n"
    "2 the driver refused the device address or the tag; 3 the driver could not be\n"
    "registered or created; 4 the port could not be opened; 5 a frame did not go out whole.\n";

enum Exit { kOk = 0, kUsage = 1, kRefused = 2, kNoDriver = 3, kNoPort = 4, kWriteFailed = 5 };

constexpr float kLowestShown = -99.999f;
constexpr float kHighestShown = 999.999f;

struct Options {
    std::string dll;
    bool doRegister = false;
    std::string port = "COM1";
    unsigned long baud = 9600;
    int dataBits = 8;
    int parity = 0;
    int stopBits = 1;
    std::string device = "0";
    std::string registerText = "N";
    unsigned long dataType = 0x0080;
    std::vector<std::string> values;
};

bool ParseNumber(const char* text, unsigned long& out) {
    char* end = nullptr;
    errno = 0;
    out = strtoul(text, &end, 0);
    return errno == 0 && end != text && *end == '\0';
}

bool ParseOptions(int argc, char** argv, Options& o) {
    static const char* const kParities[] = {"none", "odd", "even", "mark", "space"};
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        unsigned long n = 0;
        const char* v = nullptr;
        if (a == "--help" || a == "-h" || a == "/?") {
            fputs(kUsageText, stdout);
            exit(kOk);
        } else if (a == "--register") {
            o.doRegister = true;
        } else if (a == "--dll" && (v = value()) != nullptr) {
            o.dll = v;
        } else if (a == "--port" && (v = value()) != nullptr) {
            o.port = v;
        } else if (a == "--baud" && (v = value()) != nullptr && ParseNumber(v, n) && n > 0) {
            o.baud = n;
        } else if (a == "--data-bits" && (v = value()) != nullptr && ParseNumber(v, n) && n >= 5 && n <= 8) {
            o.dataBits = static_cast<int>(n);
        } else if (a == "--stop-bits" && (v = value()) != nullptr && ParseNumber(v, n) && (n == 1 || n == 2)) {
            o.stopBits = static_cast<int>(n);
        } else if (a == "--parity" && (v = value()) != nullptr) {
            int found = -1;
            for (int p = 0; p < 5; ++p)
                if (_stricmp(v, kParities[p]) == 0)
                    found = p;
            if (found < 0) {
                fprintf(stderr, "meruvia-host: parity '%s' is not one of none, odd, even, mark, space\n", v);
                return false;
            }
            o.parity = found;
        } else if (a == "--device" && (v = value()) != nullptr) {
            o.device = v;
        } else if (a == "--register-text" && (v = value()) != nullptr) {
            o.registerText = v;
        } else if (a == "--data-type" && (v = value()) != nullptr && ParseNumber(v, n) && n <= 0xFFFF) {
            o.dataType = n;
        } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            if (v == nullptr && a != "--register")
                fprintf(stderr, "meruvia-host: %s needs a value\n", a.c_str());
            else
                fprintf(stderr, "meruvia-host: '%s' is not a valid value for %s\n", v, a.c_str());
            return false;
        } else {
            o.values.push_back(a);
        }
    }
    return true;
}

// The driver's texts are code page 936; the console gets them in its own terms.
void PrintDriverText(const char* prefix, const char* text) {
    wchar_t wide[512];
    const int n = MultiByteToWideChar(936, 0, text != nullptr ? text : "", -1, wide, 512);
    HANDLE out = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode;
    fputs(prefix, stderr);
    fflush(stderr);
    if (GetConsoleMode(out, &mode)) {
        DWORD written;
        WriteConsoleW(out, wide, static_cast<DWORD>(n > 0 ? n - 1 : 0), &written, nullptr);
    } else {
        char utf8[1024];
        const int m = WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr);
        if (m > 0)
            fputs(utf8, stderr);
    }
    fputs("\n", stderr);
}

std::string BesideThisProgram(const char* name) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of("\\/") + 1) + name;
}

// What regsvr32 does: load the DLL and call its DllRegisterServer.
bool Register(const std::string& dll) {
    HMODULE module = LoadLibraryA(dll.c_str());
    if (module == nullptr) {
        fprintf(stderr, "meruvia-host: cannot load %s (error %lu)\n", dll.c_str(), GetLastError());
        return false;
    }
    using RegisterFn = HRESULT(STDAPICALLTYPE*)();
    auto reg = reinterpret_cast<RegisterFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
    const bool ok = reg != nullptr && SUCCEEDED(reg());
    if (!ok)
        fprintf(stderr, "meruvia-host: %s did not register itself\n", dll.c_str());
    else
        printf("registered %s\n", dll.c_str());
    FreeLibrary(module);
    return ok;
}

// The seven characters as the display shows them: the frame's bytes 7 down to 1.
std::string Reading(const DisplayFrame& frame) {
    std::string reading;
    for (size_t k = kDisplayFrameSize - 1; k >= 1; --k)
        reading += static_cast<char>(frame.bytes[k]);
    return reading;
}

std::string FrameText(const DisplayFrame& frame) {
    return std::string(reinterpret_cast<const char*>(frame.bytes), kDisplayFrameSize);
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

class Session {
public:
    ~Session() {
        if (io_ != nullptr)
            io_->Release();
        if (config_ != nullptr) {
            if (portOpen_)
                config_->ClosePort();
            config_->Release();
        }
        CoUninitialize();
    }

    int Run(const Options& o) {
        if (FAILED(CoInitialize(nullptr))) {
            fprintf(stderr, "meruvia-host: the component runtime could not be initialised\n");
            return kNoDriver;
        }
        if (o.doRegister && !Register(o.dll.empty() ? BesideThisProgram("MERUVIA.DLL") : o.dll))
            return kNoDriver;
        if (const int rc = Create(); rc != kOk)
            return rc;
        if (const int rc = CheckTag(o); rc != kOk)
            return rc;
        if (const int rc = Open(o); rc != kOk)
            return rc;
        return SendAll(o);
    }

private:
    int Create() {
        CLSID clsid;
        if (FAILED(CLSIDFromProgID(L"MERUVIA.MeruviaPro", &clsid))) {
            fprintf(stderr, "meruvia-host: the driver MERUVIA.MeruviaPro is not registered; run with\n"
                            "  --register, or: regsvr32 MERUVIA.DLL\n");
            return kNoDriver;
        }
        const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDriverConfig,
                                            reinterpret_cast<void**>(&config_));
        if (FAILED(hr) || FAILED(config_->QueryInterface(IID_IDriverIo, reinterpret_cast<void**>(&io_)))) {
            char message[256] = "unknown error";
            FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           static_cast<DWORD>(hr), 0, message, sizeof message, nullptr);
            fprintf(stderr, "meruvia-host: the driver could not be created: %s", message);
            fprintf(stderr, "  Is the file named in the registration still there? Register it again.\n");
            return kNoDriver;
        }
        return kOk;
    }

    int CheckTag(const Options& o) {
        int32_t device = 0;
        if (!config_->ParseDeviceAddress(o.device.c_str(), &device)) {
            fprintf(stderr, "meruvia-host: device address '%s' refused: ", o.device.c_str());
            PrintDriverText("", config_->GetErrorText());
            return kRefused;
        }
        TagDef tag{};
        if (o.registerText.size() >= sizeof tag.szRegister) {
            fprintf(stderr, "meruvia-host: the register text is longer than %u characters\n",
                    static_cast<unsigned>(sizeof tag.szRegister - 1));
            return kUsage;
        }
        memcpy(tag.szRegister, o.registerText.c_str(), o.registerText.size());
        tag.nDataType = static_cast<uint16_t>(o.dataType);
        TagAddress address{};
        address.nDevice = static_cast<uint16_t>(device);
        if (config_->ParseTagAddress(&tag, &address) != 0) {
            fprintf(stderr, "meruvia-host: tag '%s' (data type 0x%04lX) refused: ", o.registerText.c_str(),
                    o.dataType);
            PrintDriverText("", config_->GetErrorText());
            return kRefused;
        }
        return kOk;
    }

    int Open(const Options& o) {
        PortConfig pc{};
        if (o.port.size() > sizeof pc.szPortName - 1) {
            fprintf(stderr, "meruvia-host: port name '%s' is too long\n", o.port.c_str());
            return kUsage;
        }
        memcpy(pc.szPortName, o.port.c_str(), o.port.size());
        pc.nBaudRate = static_cast<uint32_t>(o.baud);
        pc.nDataBits = static_cast<uint16_t>(o.dataBits);
        pc.nStopBits = static_cast<int16_t>(o.stopBits);
        pc.nParity = static_cast<uint16_t>(o.parity);
        if (!config_->OpenPort(0, &pc)) {
            static const char kParity[] = "NOEMS";
            fprintf(stderr, "meruvia-host: cannot open %s at %lu %d%c%d: the port does not exist, is in use,\n"
                            "  or does not accept these settings\n",
                    o.port.c_str(), o.baud, o.dataBits, kParity[o.parity], o.stopBits);
            return kNoPort;
        }
        portOpen_ = true;
        printf("opened %s at %lu baud, %d data bits, parity %d, %d stop bit%s\n", o.port.c_str(), o.baud,
               o.dataBits, o.parity, o.stopBits, o.stopBits == 1 ? "" : "s");
        return kOk;
    }

    int Send(const std::string& text) {
        float value = 0;
        if (!ParseValue(text, value)) {
            fprintf(stderr, "meruvia-host: '%s' is not a number; skipped\n", text.c_str());
            return kUsage;
        }
        const DisplayFrame frame = EncodeDisplayFrame(value);
        if (!std::isfinite(value) || value < kLowestShown || value > kHighestShown)
            fprintf(stderr, "meruvia-host: warning: %s is outside what the display shows (-99.999 to 999.999);"
                            " it will read %s\n", text.c_str(), Reading(frame).c_str());
        TagValue tagValue{};
        tagValue.fValue = value;
        ItemNode item{};
        item.pTag = &tagValue;
        IoBlock block{};
        block.nKind = 1;
        block.pItems = &item;
        if (!io_->WriteBlock(&block)) {
            fprintf(stderr, "meruvia-host: the frame for %s did not go out whole: the line is stalled or closed\n",
                    text.c_str());
            return kWriteFailed;
        }
        printf("sent %s as %s, display reads %s\n", text.c_str(), FrameText(frame).c_str(), Reading(frame).c_str());
        fflush(stdout);
        return kOk;
    }

    int SendAll(const Options& o) {
        int worst = kOk;
        auto note = [&](int rc) {
            if (rc == kWriteFailed || (rc != kOk && worst == kOk))
                worst = rc;
        };
        if (!o.values.empty()) {
            for (const std::string& v : o.values)
                note(Send(v));
            return worst;
        }
        char line[256];
        while (fgets(line, sizeof line, stdin) != nullptr) {
            std::string text(line);
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
                text.pop_back();
            if (!text.empty())
                note(Send(text));
        }
        return worst;
    }

    IDriverConfig* config_ = nullptr;
    IDriverIo* io_ = nullptr;
    bool portOpen_ = false;
};

} // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IOLBF, 0);
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        fputs("meruvia-host: --help lists the options\n", stderr);
        return kUsage;
    }
    Session session;
    return session.Run(options);
}
