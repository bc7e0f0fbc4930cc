// Load on MERUVIA.DLL from one process, for a test on the Linux side that holds the other
// ends of the lines.
//
//   load_probe lines <first COM number> <count> <rounds>
//       count driver objects, each with its own port COM<first + i>; in each round every
//       object sends the value i + round / 1000. Prints "lines <failed writes>".
//   load_probe cycles <COM number> <cycles>
//       create, open, write, close and release, again and again. Prints
//       "cycles <n> <failures> <next handle after 1000> <next handle at end>
//        <heap KB in use after 1000> <heap KB in use at end>".
//   load_probe soak <COM number> <frames> <sample every>
//       one driver object sends frame i the value ((i mod 1099999) - 99999) / 1000, which
//       the display shows whole. Prints "sample <frames sent> <next handle> <heap KB in
//       use> <working set KB>" every so many frames, then "soak <frames> <failed writes>".
#include <windows.h>
#include <ole2.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/host_interfaces.h"
#include "host/one_value_block.h"
#include "host/port_config.h"
#include "meruvia_dll.h"
#include "crash_report.h"

namespace {

IClassFactory* g_factory = nullptr;

IDriverConfig* Create() {
    IDriverConfig* config = nullptr;
    g_factory->CreateInstance(nullptr, IID_IDriverConfig, reinterpret_cast<void**>(&config));
    return config;
}

bool Open(IDriverConfig* config, int com) {
    char name[16];
    snprintf(name, sizeof name, "COM%d", com);
    PortConfig pc;
    return MakePortConfig(name, 115200, 8, 1, 0, pc) && config->OpenPort(0, &pc) == 1;
}

bool Write(IDriverConfig* config, float value) {
    IDriverIo* io = nullptr;
    if (FAILED(config->QueryInterface(IID_IDriverIo, reinterpret_cast<void**>(&io))))
        return false;
    const OneValueBlock block(value);
    const bool ok = io->WriteBlock(block.get()) == 1;
    io->Release();
    return ok;
}

// Leaks show in two numbers: the value of the next handle the process gets (handle values
// are reused lowest first, so leaked handles push it up), and the bytes in use on the
// process heap, where the driver objects and the write copies live.
void Usage(DWORD& nextHandle, SIZE_T& heapKb) {
    HANDLE h = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    nextHandle = static_cast<DWORD>(reinterpret_cast<uintptr_t>(h));
    CloseHandle(h);
    SIZE_T busy = 0;
    PROCESS_HEAP_ENTRY entry{};
    HANDLE heap = GetProcessHeap();
    HeapLock(heap);
    while (HeapWalk(heap, &entry))
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
            busy += entry.cbData;
    HeapUnlock(heap);
    heapKb = busy / 1024;
}

int Lines(int first, int count, int rounds) {
    std::vector<IDriverConfig*> drivers;
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        IDriverConfig* d = Create();
        if (d == nullptr || !Open(d, first + i)) {
            printf("error cannot open COM%d\n", first + i);
            return 1;
        }
        drivers.push_back(d);
    }
    for (int r = 0; r < rounds; ++r)
        for (int i = 0; i < count; ++i)
            failures += Write(drivers[i], static_cast<float>(i) + static_cast<float>(r) / 1000.0f) ? 0 : 1;
    for (IDriverConfig* d : drivers) {
        d->ClosePort();
        d->Release();
    }
    printf("lines %d\n", failures);
    return 0;
}

int Cycles(int com, int cycles) {
    int failures = 0;
    DWORD handlesEarly = 0, handlesEnd = 0;
    SIZE_T memEarly = 0, memEnd = 0;
    for (int c = 1; c <= cycles; ++c) {
        IDriverConfig* d = Create();
        if (d == nullptr || !Open(d, com) || !Write(d, static_cast<float>(c % 1000)))
            ++failures;
        if (d != nullptr) {
            d->ClosePort();
            d->Release();
        }
        if (c == 1000)
            Usage(handlesEarly, memEarly);
        if (c % 10000 == 0) {
            fprintf(stderr, "%d cycles\n", c);
            fflush(stderr);
        }
    }
    Usage(handlesEnd, memEnd);
    printf("cycles %d %d %lu %lu %lu %lu\n", cycles, failures, static_cast<unsigned long>(handlesEarly),
           static_cast<unsigned long>(handlesEnd), static_cast<unsigned long>(memEarly),
           static_cast<unsigned long>(memEnd));
    return 0;
}

SIZE_T WorkingSetKb() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.WorkingSetSize / 1024;
}

int Soak(int com, long long frames, long long every) {
    IDriverConfig* d = Create();
    if (d == nullptr || !Open(d, com)) {
        printf("error cannot open COM%d\n", com);
        return 1;
    }
    IDriverIo* io = nullptr;
    d->QueryInterface(IID_IDriverIo, reinterpret_cast<void**>(&io));
    OneValueBlock block;
    long long failures = 0;
    for (long long i = 0; i < frames; ++i) {
        block.Set(static_cast<float>(static_cast<int>(i % 1099999) - 99999) / 1000.0f);
        failures += io->WriteBlock(block.get()) == 1 ? 0 : 1;
        if ((i + 1) % every == 0) {
            DWORD nextHandle = 0;
            SIZE_T heapKb = 0;
            Usage(nextHandle, heapKb);
            printf("sample %lld %lu %lu %lu\n", i + 1, static_cast<unsigned long>(nextHandle),
                   static_cast<unsigned long>(heapKb), static_cast<unsigned long>(WorkingSetKb()));
        }
    }
    io->Release();
    d->ClosePort();
    d->Release();
    printf("soak %lld %lld\n", frames, failures);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    ReportUnhandledExceptions();
    setvbuf(stdout, nullptr, _IONBF, 0);
    MeruviaDll dll;
    g_factory = dll.Factory();
    if (g_factory == nullptr) {
        printf("error cannot load the driver\n");
        return 1;
    }
    int rc = 2;
    if (argc == 5 && strcmp(argv[1], "lines") == 0)
        rc = Lines(atoi(argv[2]), atoi(argv[3]), atoi(argv[4]));
    else if (argc == 4 && strcmp(argv[1], "cycles") == 0)
        rc = Cycles(atoi(argv[2]), atoi(argv[3]));
    else if (argc == 5 && strcmp(argv[1], "soak") == 0)
        rc = Soak(atoi(argv[2]), atoll(argv[3]), atoll(argv[4]));
    else
        fprintf(stderr, "usage: load_probe lines FIRST COUNT ROUNDS | load_probe cycles COM CYCLES |"
                        " load_probe soak COM FRAMES EVERY\n");
    g_factory->Release();
    return rc;
}
