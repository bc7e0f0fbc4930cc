// The smallest in-process component server that does what the measured cycle needs: a
// class object that creates an object answering IUnknown. It is the yardstick for the
// cost of loading MERUVIA.DLL and creating and releasing its driver object.
#include <windows.h>
#include <ole2.h>

#include <new>

namespace {

LONG g_objects = 0;

struct Object : IUnknown {
    LONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) override {
        if (!IsEqualIID(iid, IID_IUnknown)) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG n = InterlockedDecrement(&refs);
        if (n == 0) {
            InterlockedDecrement(&g_objects);
            HeapFree(GetProcessHeap(), 0, this);
        }
        return n;
    }
};

struct Factory : IClassFactory {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** ppv) override {
        *ppv = (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) ? this : nullptr;
        return *ppv != nullptr ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** ppv) override {
        *ppv = nullptr;
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        void* storage = HeapAlloc(GetProcessHeap(), 0, sizeof(Object));
        if (storage == nullptr)
            return E_OUTOFMEMORY;
        Object* object = new (storage) Object;
        InterlockedIncrement(&g_objects);
        const HRESULT hr = object->QueryInterface(iid, ppv);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory g_factory;

} // namespace

STDAPI DllGetClassObject(REFCLSID, REFIID iid, LPVOID* ppv) { return g_factory.QueryInterface(iid, ppv); }
STDAPI DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }
