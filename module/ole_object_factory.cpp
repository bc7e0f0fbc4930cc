#include "module/ole_object_factory.h"

#include "module/module_state.h"

namespace {

size_t ClassFactoryOffset() { return MERUVIA_SUBOBJECT_OFFSET(COleObjectFactory, m_xClassFactory); }

using Slots = UnknownSlots<COleObjectFactory, ClassFactoryOffset>;

const InterfaceMapEntry kInterfaceMap[] = {
    {&IID_IClassFactory, ClassFactoryOffset()},
    {nullptr, 0},
};

ULONG STDMETHODCALLTYPE Release(void* sub) { return Slots::Self(sub)->ReleaseKeepingModuleReference(); }

HRESULT STDMETHODCALLTYPE CreateInstance(void* sub, IUnknown* outer, REFIID iid, void** ppv) {
    return Slots::Self(sub)->CreateInstance(outer, iid, ppv);
}

HRESULT STDMETHODCALLTYPE LockServer(void* sub, BOOL lock) { return Slots::Self(sub)->LockServer(lock); }

struct ClassFactoryTable {
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(void*, REFIID, void**);
    ULONG(STDMETHODCALLTYPE* AddRef)(void*);
    ULONG(STDMETHODCALLTYPE* Release)(void*);
    HRESULT(STDMETHODCALLTYPE* CreateInstance)(void*, IUnknown*, REFIID, void**);
    HRESULT(STDMETHODCALLTYPE* LockServer)(void*, BOOL);
};

const ClassFactoryTable kClassFactoryTable = {Slots::QueryInterface, Slots::AddRef, Release,
                                              CreateInstance, LockServer};

bool IsNullClassId(REFCLSID clsid) { return IsEqualCLSID(clsid, CLSID_NULL) != FALSE; }

} // namespace

COleObjectFactory::COleObjectFactory(REFCLSID clsid, const CRuntimeClass* classInfo,
                                     BOOL instancePerObject, LPCSTR progId)
    : CCmdTarget(kInterfaceMap), m_classId(clsid), m_pClassInfo(classInfo),
      m_bInstancePerObject(instancePerObject), m_pszProgId(progId),
      m_xClassFactory{&kClassFactoryTable} {
    FactoryListLock lock;
    AFX_MODULE_STATE* state = AfxGetModuleState();
    m_pNext = state->m_pFirstFactory;
    state->m_pFirstFactory = this;
}

COleObjectFactory::~COleObjectFactory() {
    // Never announced to the platform, so there is nothing to revoke.
    m_nRegistered = 0;
    FactoryListLock lock;
    for (COleObjectFactory** link = &AfxGetModuleState()->m_pFirstFactory; *link != nullptr;
         link = &(*link)->m_pNext) {
        if (*link == this) {
            *link = m_pNext;
            break;
        }
    }
}

BOOL COleObjectFactory::RegisterAll() {
    FactoryListLock lock;
    for (COleObjectFactory* f = AfxGetModuleState()->m_pFirstFactory; f != nullptr; f = f->m_pNext)
        if (!IsNullClassId(f->m_classId))
            ++f->m_nRegistered;
    return TRUE;
}

BOOL RegisterFactories() { return COleObjectFactory::RegisterAll(); }

ULONG COleObjectFactory::ReleaseKeepingModuleReference() {
    for (;;) {
        const LONG count = m_dwRef;
        if (count <= 1)
            return static_cast<ULONG>(count);
        if (InterlockedCompareExchange(&m_dwRef, count - 1, count) == count)
            return static_cast<ULONG>(count - 1);
    }
}

HRESULT COleObjectFactory::CreateInstance(IUnknown* outer, REFIID iid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;

    HRESULT hr = E_OUTOFMEMORY;
    CCmdTarget* object = m_pClassInfo->m_pfnCreateObject != nullptr ? m_pClassInfo->m_pfnCreateObject()
                                                                    : nullptr;
    if (object != nullptr) {
        // Aggregation needs a separate inner IUnknown, which no object here has.
        hr = (outer != nullptr && object->m_xInnerUnknown == 0) ? CLASS_E_NOAGGREGATION : S_OK;
        if (hr == S_OK) {
            hr = object->ExternalQueryInterface(iid, ppv);
            if (hr == S_OK)
                InterlockedDecrement(&object->m_dwRef); // the caller keeps the one reference
        }
        if (hr != S_OK)
            delete object;
    }
    return hr;
}

HRESULT COleObjectFactory::LockServer(BOOL lock) {
    if (lock)
        LockModule();
    else
        UnlockModule();
    return S_OK;
}
