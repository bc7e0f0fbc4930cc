// Test-side access to MERUVIA.DLL: loaded by the Windows loader, the driver created
// through the DLL's own class object, and slots called through the interface's table
// pointer the way the host calls them.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "driver/host_interfaces.h"

extern "C" uint32_t CallWithStackCheck(void* fn, const uint32_t* args, uint32_t count,
                                       int32_t* stackLeft);

inline uint32_t Arg(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

// Calls slot `slot` of `iface` with the interface pointer and `args` as 32-bit values, and
// fails the test if the callee did not remove exactly those arguments.
inline uint32_t CallSlot(void* iface, int slot, std::initializer_list<uint32_t> args) {
    void** table = *static_cast<void***>(iface);
    std::vector<uint32_t> all{Arg(iface)};
    all.insert(all.end(), args);
    int32_t stackLeft = -1;
    const uint32_t result =
        CallWithStackCheck(table[slot], all.data(), static_cast<uint32_t>(all.size()), &stackLeft);
    EXPECT_EQ(0, stackLeft) << "slot " << slot << " did not take " << args.size()
                            << " arguments in the __stdcall convention";
    return result;
}

// The DLL, loaded by path from beside the test program.
class MeruviaDll {
public:
    MeruviaDll() : module_(LoadLibraryA("MERUVIA.DLL")) {}
    ~MeruviaDll() {
        if (module_ != nullptr)
            FreeLibrary(module_);
    }
    MeruviaDll(const MeruviaDll&) = delete;
    MeruviaDll& operator=(const MeruviaDll&) = delete;

    HMODULE module() const { return module_; }

    template <class Fn> Fn Export(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** ppv) const {
        using Fn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
        return Export<Fn>("DllGetClassObject")(clsid, iid, ppv);
    }
    HRESULT CanUnloadNow() const {
        using Fn = HRESULT(STDAPICALLTYPE*)();
        return Export<Fn>("DllCanUnloadNow")();
    }

    // A new driver object, as the interface asked for; null on failure.
    template <class I> I* Create(REFIID iid) const {
        IClassFactory* factory = nullptr;
        if (FAILED(GetClassObject(CLSID_MeruviaPro, IID_IClassFactory,
                                  reinterpret_cast<void**>(&factory))))
            return nullptr;
        I* object = nullptr;
        factory->CreateInstance(nullptr, iid, reinterpret_cast<void**>(&object));
        factory->Release();
        return object;
    }

private:
    HMODULE module_;
};
