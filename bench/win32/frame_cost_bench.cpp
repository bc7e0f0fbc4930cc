// The processor time MERUVIA.DLL spends per WriteBlock (encoding the frame and the write
// call, not waiting on the line), set against the time the line takes to carry the 8-byte
// frame, and against a bare 8-byte WriteFile on the same port handle: the driver's share of
// what the host pays is their ratio. Run it against a port whose other end is being read
// (bench/win32/frame_cost.sh).
//
//   frame_cost_bench COMn [frames]
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "host/host_interfaces.h"
#include "host/one_value_block.h"
#include "meruvia_dll.h"
#include "serial/serial_link.h"

namespace {

double ThreadCpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

double WallSeconds() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: frame_cost_bench COMn [frames]\n");
        return 2;
    }
    const int frames = argc > 2 ? atoi(argv[2]) : 20000;
    CoInitialize(nullptr);
    MeruviaDll dll;
    IClassFactory* factory = dll.Factory();
    IDriverConfig* config = nullptr;
    IDriverIo* io = nullptr;
    if (factory == nullptr ||
        FAILED(factory->CreateInstance(nullptr, IID_IDriverConfig, reinterpret_cast<void**>(&config))) ||
        FAILED(config->QueryInterface(IID_IDriverIo, reinterpret_cast<void**>(&io)))) {
        fprintf(stderr, "cannot create the driver\n");
        return 1;
    }
    // The port set up exactly as the driver sets it up, then handed to it, so that the
    // driver and the bare write below use the same handle.
    const LineSettings settings = {115200, DataBits::Eight, Parity::None, StopBits::One};
    const PortHandleRecord port = {OpenSerialPort(argv[1], settings).port};
    if (port.hPort == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    io->SetPortHandle(&port);

    OneValueBlock block;
    int failed = 0;
    const double cpu0 = ThreadCpuSeconds();
    const double wall0 = WallSeconds();
    for (int i = 0; i < frames; ++i) {
        block.Set(static_cast<float>(i % 100000) / 100.0f);
        failed += io->WriteBlock(block.get()) == 1 ? 0 : 1;
    }
    const double cpuPerFrame = (ThreadCpuSeconds() - cpu0) / frames;
    const double wallPerFrame = (WallSeconds() - wall0) / frames;

    // The same 8 bytes written straight to the handle: what any driver would pay.
    const uint8_t frame[8] = {'=', '0', '0', '5', '.', '1', '0', '0'};
    int bareFailed = 0;
    const double bareCpu0 = ThreadCpuSeconds();
    const double bareWall0 = WallSeconds();
    for (int i = 0; i < frames; ++i) {
        DWORD written = 0;
        bareFailed += WriteFile(port.hPort, frame, 8, &written, nullptr) && written == 8 ? 0 : 1;
    }
    const double bareCpuPerFrame = (ThreadCpuSeconds() - bareCpu0) / frames;
    const double bareWallPerFrame = (WallSeconds() - bareWall0) / frames;
    // The driver's own share: with no port held, WriteBlock encodes the frame and stops
    // before the system call.
    IDriverConfig* idle = nullptr;
    IDriverIo* idleIo = nullptr;
    factory->CreateInstance(nullptr, IID_IDriverConfig, reinterpret_cast<void**>(&idle));
    idle->QueryInterface(IID_IDriverIo, reinterpret_cast<void**>(&idleIo));
    const int encodeRounds = frames * 50;
    const double encode0 = ThreadCpuSeconds();
    for (int i = 0; i < encodeRounds; ++i) {
        block.Set(static_cast<float>(i % 100000) / 100.0f);
        idleIo->WriteBlock(block.get());
    }
    const double encodePerFrame = (ThreadCpuSeconds() - encode0) / encodeRounds;
    idleIo->Release();
    idle->Release();

    config->ClosePort();
    io->Release();
    config->Release();
    factory->Release();

    const double bitsPerFrame = 8 * 10; // 8 bytes of start bit, 8 data bits, stop bit
    printf("%d frames, %d not written whole (bare writes: %d)\n", frames, failed, bareFailed);
    printf("processor time per WriteBlock: %.2f us (wall %.2f us), of which encoding %.3f us\n",
           cpuPerFrame * 1e6, wallPerFrame * 1e6, encodePerFrame * 1e6);
    printf("processor time per bare 8-byte WriteFile: %.2f us (wall %.2f us); WriteBlock / WriteFile: "
           "%.2f (wall %.2f)\n", bareCpuPerFrame * 1e6, bareWallPerFrame * 1e6, cpuPerFrame / bareCpuPerFrame,
           wallPerFrame / bareWallPerFrame);
    for (double baud : {9600.0, 115200.0}) {
        const double line = bitsPerFrame / baud;
        printf("line time of a frame at %6.0f baud: %8.1f us; WriteBlock's share: %.3f %%"
               " (encoding alone: %.4f %%)\n", baud, line * 1e6, 100.0 * cpuPerFrame / line,
               100.0 * encodePerFrame / line);
    }
    return failed == 0 && bareFailed == 0 ? 0 : 1;
}
