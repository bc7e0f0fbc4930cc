// The component server's exports: hand out the class object, and say whether the module
// may be unloaded.
#include <windows.h>
#include <ole2.h>

#include "driver/module_state.h"
#include "module/factory_list.h"
#include "module/ole_object_factory.h"

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    const FactoryListLock lock;
    for (COleObjectFactory* f = FirstFactory(lock); f != nullptr; f = f->m_pNext) {
        if (f->m_nRegistered != 0 && IsEqualCLSID(f->m_classId, clsid))
            return f->ExternalQueryInterface(iid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

// Unloading is safe when no driver object lives, no server lock is held and nobody holds
// a class object beyond the module's own reference.
STDAPI DllCanUnloadNow() {
    if (AfxGetModuleState()->m_nObjectCount != 0)
        return S_FALSE;
    const FactoryListLock lock;
    for (const COleObjectFactory* f = FirstFactory(lock); f != nullptr; f = f->m_pNext)
        if (f->ReferenceCount() > 1)
            return S_FALSE;
    return S_OK;
}
