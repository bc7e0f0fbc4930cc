// Load, create and release under the Windows runtime: MERUVIA.DLL against a minimal
// component DLL built beside it, as a ratio. Prints its figures.
//
//   component_footprint_bench [load_cycles] [objects]
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cstdlib>

#include "host/host_interfaces.h"
#include "meruvia_dll.h"

namespace {

double Now() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

struct Figures {
    double loadCycleUs; // load, class object, create, release, unload
    double objectNs;    // create and release with the module loaded
    long fileBytes;
    bool ok;
};

Figures Measure(const char* name, int cycles, int objects) {
    Figures f = {0, 0, 0, false};
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(name, GetFileExInfoStandard, &data))
        f.fileBytes = static_cast<long>(data.nFileSizeLow);

    double start = Now();
    for (int i = 0; i < cycles; ++i) {
        MeruviaDll dll(name);
        IClassFactory* factory = dll.Factory();
        if (factory == nullptr)
            return f;
        IUnknown* object = nullptr;
        if (FAILED(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object))))
            return f;
        object->Release();
        factory->Release();
    }
    f.loadCycleUs = (Now() - start) * 1e6 / cycles;

    MeruviaDll dll(name);
    IClassFactory* factory = dll.Factory();
    start = Now();
    for (int i = 0; i < objects; ++i) {
        IUnknown* object = nullptr;
        factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object));
        object->Release();
    }
    f.objectNs = (Now() - start) * 1e9 / objects;
    factory->Release();
    f.ok = true;
    return f;
}

} // namespace

int main(int argc, char** argv) {
    const int cycles = argc > 1 ? atoi(argv[1]) : 2000;
    const int objects = argc > 2 ? atoi(argv[2]) : 200000;
    // A host of components has the component runtime loaded and initialised already.
    CoInitialize(nullptr);
    const Figures meruvia = Measure("MERUVIA.DLL", cycles, objects);
    const Figures minimal = Measure("minimal_component.dll", cycles, objects);
    if (!meruvia.ok || !minimal.ok) {
        fprintf(stderr, "could not load and use both DLLs from the current folder\n");
        return 1;
    }
    printf("%-24s %12s %18s %16s\n", "", "file bytes", "load cycle (us)", "object (ns)");
    printf("%-24s %12ld %18.1f %16.1f\n", "MERUVIA.DLL", meruvia.fileBytes, meruvia.loadCycleUs, meruvia.objectNs);
    printf("%-24s %12ld %18.1f %16.1f\n", "minimal component", minimal.fileBytes, minimal.loadCycleUs, minimal.objectNs);
    printf("%-24s %12.2f %18.2f %16.2f\n", "ratio", static_cast<double>(meruvia.fileBytes) / minimal.fileBytes,
           meruvia.loadCycleUs / minimal.loadCycleUs, meruvia.objectNs / minimal.objectNs);
    printf("(%d load cycles, %d objects)\n", cycles, objects);
    return 0;
}
