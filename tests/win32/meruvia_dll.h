// MERUVIA.DLL as a client of the platform sees it: loaded by the Windows loader, its
// exports, and its class object. Used by the tests, the probes and the benchmarks.
#pragma once

#include <windows.h>
#include <ole2.h>

#include "host/host_interfaces.h"

// A component DLL loaded by the Windows loader (MERUVIA.DLL from beside the program unless
// told otherwise), and driver objects made through its own class object.
class MeruviaDll {
public:
    explicit MeruviaDll(const char* name = "MERUVIA.DLL") : module_(LoadLibraryA(name)) {}
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

    // The class object (one reference for the caller), or null.
    IClassFactory* Factory() const {
        IClassFactory* factory = nullptr;
        if (module_ == nullptr || FAILED(GetClassObject(CLSID_MeruviaPro, IID_IClassFactory,
                                                        reinterpret_cast<void**>(&factory))))
            return nullptr;
        return factory;
    }

    // A new driver object, as the interface asked for; null on failure.
    template <class I> I* Create(REFIID iid) const {
        IClassFactory* factory = Factory();
        if (factory == nullptr)
            return nullptr;
        I* object = nullptr;
        factory->CreateInstance(nullptr, iid, reinterpret_cast<void**>(&object));
        factory->Release();
        return object;
    }

private:
    HMODULE module_;
};
