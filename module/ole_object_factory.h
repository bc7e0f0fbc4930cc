// The class-factory record: one per creatable class, a module-level object enrolled in the
// module's list for the module's whole life. Its IClassFactory face creates the objects.
#pragma once

#include <windows.h>

#include "driver/cmd_target.h"

class COleObjectFactory;
inline size_t ObjectFactoryClassFactoryOffset();

// The record's IClassFactory face. Release never drops the module's own reference.
class XClassFactory : public SubObject<IClassFactory, COleObjectFactory, ObjectFactoryClassFactoryOffset> {
public:
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;
};

static_assert(sizeof(XClassFactory) == sizeof(void*), "a sub-object is one table pointer");

class COleObjectFactory : public CCmdTarget {
public:
    COleObjectFactory(REFCLSID clsid, const CRuntimeClass* classInfo, BOOL instancePerObject,
                      LPCSTR progId);
    ~COleObjectFactory() override;

    // Marks every enrolled record with a class identifier as registered.
    static BOOL RegisterAll();

    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** ppv);
    HRESULT LockServer(BOOL lock);
    // Release that never goes below the module's own reference: the record lives as long
    // as the module, however many extra releases a client makes.
    ULONG ReleaseKeepingModuleReference();

    COleObjectFactory* m_pNext = nullptr;
    CLSID m_classId;
    const CRuntimeClass* m_pClassInfo;
    BOOL m_bInstancePerObject; // the framework's record; every object shares this one factory
    LPCSTR m_pszProgId;
    BYTE m_nRegistered = 0;
    XClassFactory m_xClassFactory;
};

// The process-wide registration mark is what RegisterFactories sets at load.
BOOL RegisterFactories();

inline size_t ObjectFactoryClassFactoryOffset() {
    return MERUVIA_SUBOBJECT_OFFSET(COleObjectFactory, m_xClassFactory);
}
