// A stand-in for the host, driven line by line from standard input, so that a test on the
// Linux side can make MERUVIA.DLL open a COM port mapped to a pseudo-terminal, write
// frames, and watch what arrives. Each command answers one line.
//
//   open <port> <baud> <databits> <stopbits> <parity>  ->  open <result>
//   adopt <port>          the "host" opens the port itself and hands the handle over
//   write <value>         WriteBlock of a kind-1 block  ->  write <result> <milliseconds>
//   idle                  WriteBlock of a kind-0 block  ->  idle <result>
//   close                 ->  close <result>
//   parse <text> <type>   ParseTagAddress of a register text with data-type bits (hex)
//                         ->  parse <result>
//   release               releases the driver object (a port it opened closes with it)
//   lasterror             the thread's last error as the driver's last call left it; each
//                         call starts from kUntouched  ->  lasterror <code>
//   holdtrace <file>      holds the lock every tracing process takes to append a line to
//                         that file, as another process in the middle of a line would
//                         ->  holdtrace <result>
//   quit
//
// With --progid the driver is created as a host does it, through the component runtime
// from the registered ProgID; otherwise the DLL beside the probe is loaded directly.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/host_interfaces.h"
#include "host/one_value_block.h"
#include "host/port_config.h"
#include "meruvia_dll.h"
#include "crash_report.h"

namespace {

// What the last error is set to before each call into the driver: a driver that leaves it
// alone leaves this.
constexpr DWORD kUntouched = 0x20000001; // bit 29: an application's own code

// The byte the trace locks to append a line: one far past any real end of the file.
bool HoldTraceLock(const char* path) {
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    OVERLAPPED at = {};
    at.Offset = 0xFFFFFFFE;
    at.OffsetHigh = 0x7FFFFFFF;
    return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != FALSE;
}

IDriverConfig* CreateByProgId() {
    CLSID clsid;
    IDriverConfig* config = nullptr;
    if (FAILED(CoInitialize(nullptr)) || FAILED(CLSIDFromProgID(kMeruviaProgIdW, &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDriverConfig,
                                reinterpret_cast<void**>(&config))))
        return nullptr;
    return config;
}

} // namespace

int main(int argc, char** argv) {
    ReportUnhandledExceptions();
    setvbuf(stdout, nullptr, _IONBF, 0);
    IDriverConfig* config = nullptr;
    if (argc > 1 && strcmp(argv[1], "--progid") == 0) {
        config = CreateByProgId();
    } else {
        static MeruviaDll dll; // loaded for the life of the probe
        config = dll.Create<IDriverConfig>(IID_IDriverConfig);
    }
    IDriverIo* io = nullptr;
    if (config == nullptr || FAILED(config->QueryInterface(IID_IDriverIo, reinterpret_cast<void**>(&io)))) {
        printf("error cannot create the driver\n");
        return 1;
    }
    printf("ready\n");

    char line[512];
    DWORD lastError = 0;
    while (fgets(line, sizeof line, stdin) != nullptr) {
        char command[32] = {};
        char port[64] = {};
        if (sscanf(line, "%31s", command) != 1)
            continue;
        if (strcmp(command, "quit") == 0)
            break;
        if (config == nullptr) {
            printf("error released\n");
            continue;
        }
        if (strcmp(command, "open") == 0) {
            PortConfig pc{};
            unsigned baud = 0;
            int dataBits = 0, stopBits = 0, parity = 0;
            sscanf(line, "%*s %63s %u %d %d %d", port, &baud, &dataBits, &stopBits, &parity);
            MakePortConfig("", baud, static_cast<uint16_t>(dataBits), static_cast<int16_t>(stopBits),
                           static_cast<uint16_t>(parity), pc);
            // The name as given; one longer than the host's field goes in cut and
            // unterminated, as a host could pass it.
            memcpy(pc.szPortName, port, strnlen(port, sizeof pc.szPortName));
            SetLastError(kUntouched);
            const int32_t opened = config->OpenPort(0, &pc);
            lastError = GetLastError();
            printf("open %d\n", opened);
        } else if (strcmp(command, "adopt") == 0) {
            sscanf(line, "%*s %63s", port);
            const std::string path = std::string("\\\\.\\") + port;
            PortHandleRecord record{CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
            printf("adopt %d\n", record.hPort != INVALID_HANDLE_VALUE ? io->SetPortHandle(&record) : 0);
        } else if (strcmp(command, "write") == 0 || strcmp(command, "idle") == 0) {
            OneValueBlock block(strtof(line + strlen(command) + 1, nullptr));
            if (strcmp(command, "idle") == 0) {
                block.block().nKind = 0;
                block.block().pItems = nullptr;
            }
            const DWORD start = GetTickCount();
            const int32_t result = io->WriteBlock(block.get());
            printf("%s %d %lu\n", command, result, static_cast<unsigned long>(GetTickCount() - start));
        } else if (strcmp(command, "parse") == 0) {
            TagDef tag{};
            unsigned dataType = 0;
            sscanf(line, "%*s %127s %x", tag.szRegister, &dataType);
            tag.nDataType = static_cast<uint16_t>(dataType);
            TagAddress address{};
            SetLastError(kUntouched);
            const uint16_t parsed = config->ParseTagAddress(&tag, &address);
            lastError = GetLastError();
            printf("parse %d\n", parsed);
        } else if (strcmp(command, "close") == 0) {
            printf("close %d\n", config->ClosePort());
        } else if (strcmp(command, "lasterror") == 0) {
            printf("lasterror %lu\n", static_cast<unsigned long>(lastError));
        } else if (strcmp(command, "holdtrace") == 0) {
            char path[400] = {};
            sscanf(line, "%*s %399[^\n]", path);
            printf("holdtrace %d\n", HoldTraceLock(path) ? 1 : 0);
        } else if (strcmp(command, "release") == 0) {
            io->Release();
            config->Release();
            io = nullptr;
            config = nullptr;
            printf("release\n");
        } else {
            printf("error unknown command %s\n", command);
        }
    }
    if (io != nullptr)
        io->Release();
    if (config != nullptr)
        config->Release();
    return 0;
}
