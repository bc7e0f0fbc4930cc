#include "module/ole_object_factory.h"

#include "driver/module_state.h"
#include "module/factory_list.h"

namespace {

const InterfaceMapEntry kInterfaceMap[] = {
    {&IID_IClassFactory, ObjectFactoryClassFactoryOffset()},
    {nullptr, 0},
};

bool IsNullClassId(REFCLSID clsid) { return IsEqualCLSID(clsid, CLSID_NULL) != FALSE; }

} // namespace

ULONG XClassFactory::Release() { return owner()->ReleaseKeepingModuleReference(); }

HRESULT XClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** ppv) {
    return owner()->CreateInstance(outer, iid, ppv);
}

HRESULT XClassFactory::LockServer(BOOL lock) { return owner()->LockServer(lock); }

COleObjectFactory::COleObjectFactory(REFCLSID clsid, const CRuntimeClass* classInfo,
                                     BOOL instancePerObject, LPCSTR progId)
    : CCmdTarget(kInterfaceMap), m_classId(clsid), m_pClassInfo(classInfo),
      m_bInstancePerObject(instancePerObject), m_pszProgId(progId) {
    const FactoryListLock lock;
    EnrollFactory(*this, lock);
}

COleObjectFactory::~COleObjectFactory() {
    // Never announced to the platform, so there is nothing to revoke.
    m_nRegistered = 0;
    const FactoryListLock lock;
    WithdrawFactory(*this, lock);
}

BOOL COleObjectFactory::RegisterAll() {
    const FactoryListLock lock;
    for (COleObjectFactory* f = FirstFactory(lock); f != nullptr; f = f->m_pNext)
        if (!IsNullClassId(f->m_classId))
            ++f->m_nRegistered;
    return TRUE;
}

BOOL RegisterFactories() { return COleObjectFactory::RegisterAll(); }

ULONG COleObjectFactory::ReleaseKeepingModuleReference() { return ReleaseAboveOne(); }

// The class factory's own signature: the outer object is only looked at, never changed.
// cppcheck-suppress constParameter
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
                object->DropCreationReference(); // the caller keeps the one reference
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
