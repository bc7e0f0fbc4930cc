// The processor time MERUVIA.DLL spends per WriteBlock (encoding the frame and the write
// call, not waiting on the line), set against the time the line takes to carry the 8-byte
// frame. Run it against a port whose other end is being read (bench/win32/frame_cost.sh).
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
    PortConfig pc{};
    strncpy(pc.szPortName, argv[1], sizeof pc.szPortName - 1);
    pc.nBaudRate = 115200;
    pc.nDataBits = 8;
    pc.nStopBits = 1;
    if (!config->OpenPort(0, &pc)) {
        fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }

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
    printf("%d frames, %d not written whole\n", frames, failed);
    printf("processor time per WriteBlock: %.2f us (wall %.2f us), of which encoding %.3f us\n",
           cpuPerFrame * 1e6, wallPerFrame * 1e6, encodePerFrame * 1e6);
    for (double baud : {9600.0, 115200.0}) {
        const double line = bitsPerFrame / baud;
        printf("line time of a frame at %6.0f baud: %8.1f us; WriteBlock's share: %.3f %%"
               " (encoding alone: %.4f %%)\n", baud, line * 1e6, 100.0 * cpuPerFrame / line,
               100.0 * encodePerFrame / line);
    }
    return failed == 0 ? 0 : 1;
}
