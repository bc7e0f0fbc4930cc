// Base of the driver object and of the class-factory record: one reference count shared
// by all interfaces, an ordered table of interface sub-objects, and the automation
// (IDispatch) sub-object, present only once enabled.
#pragma once

#include <windows.h>
#include <ole2.h>

#include "driver/ole_dispatch_impl.h"

// One row of an interface table: which identifier is answered by the sub-object at which
// distance from the start of the object. A table ends with a row whose piid is null.
struct InterfaceMapEntry {
    const IID* piid;
    size_t nOffset;
};

// Identifies a class at run time and creates its objects.
struct CRuntimeClass {
    const char* m_lpszClassName;              // the record's shape; nothing here reads it
    int m_nObjectSize;                        // the record's shape; nothing here reads it
    class CCmdTarget* (*m_pfnCreateObject)(); // null where the class cannot be created
    const CRuntimeClass* m_pBaseClass;        // the record's shape; nothing here reads it
};

extern const CRuntimeClass kObjectRuntimeClass;    // "CObject"
extern const CRuntimeClass kCmdTargetRuntimeClass; // "CCmdTarget"

class CCmdTarget {
public:
    // No exceptions: a failed allocation yields null and no constructor runs. Storage comes
    // from the process heap.
    static void* operator new(size_t size) noexcept;
    static void operator delete(void* p) noexcept;

    virtual const CRuntimeClass* GetRuntimeClass() const { return &kCmdTargetRuntimeClass; }
    virtual ~CCmdTarget();
    // Runs when Release brings the count to 0; destroys the object.
    virtual void OnFinalRelease();

    ULONG ExternalAddRef();
    ULONG ExternalRelease();
    HRESULT ExternalQueryInterface(REFIID iid, void** ppv);

    // The references counted now: 1 from creation, plus one per AddRef, less one per Release.
    LONG ReferenceCount() const { return m_dwRef; }
    // Gives up the reference the object was created with, once the caller holds its own
    // (never the last one: nothing is destroyed here).
    void DropCreationReference() { InterlockedDecrement(&m_dwRef); }
    // A release that never takes the count below one: for objects that live as long as the
    // module, however many extra releases a client makes. Returns the new count.
    ULONG ReleaseAboveOne();
    // For the disconnect step: one more reference while the platform drops its connections,
    // unless the object is already released (false then, and nothing changes).
    bool HoldUnlessReleased();
    // After the disconnect step: no reference counts any more.
    void ForgetReferences() { m_dwRef = 0; }

    // The sub-object that answers iid, or null; adds no reference.
    void* GetInterface(REFIID iid);

    // The sub-object IUnknown resolves to: the first present row of the table.
    IUnknown* GetControllingUnknown();

    // Makes the dispatch sub-object present; from then on IUnknown resolves to it.
    void EnableAutomation() { m_bAutomationEnabled = true; }
    bool IsAutomationEnabled() const { return m_bAutomationEnabled; }

    IUnknown* m_pOuterUnknown = nullptr; // never set: objects here cannot be aggregated
    DWORD_PTR m_xInnerUnknown = 0;       // 0 is what makes the class factory refuse aggregation
    COleDispatchImpl m_xDispatch;
    BOOL m_bResultExpected = TRUE; // the framework object's shape; nothing here reads it
    void* m_pSpare = nullptr;      // the framework object's shape; nothing here reads it

protected:
    // interfaceMap: the class's own rows, searched before the IDispatch row every
    // CCmdTarget has. Kept as data so that lookups still work while the object is being
    // destroyed (the platform may query it during the disconnect step).
    explicit CCmdTarget(const InterfaceMapEntry* interfaceMap) : m_pInterfaceMap(interfaceMap) {}
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

private:
    void* SubObjectAt(size_t offset);
    volatile LONG m_dwRef = 1;
    const InterfaceMapEntry* m_pInterfaceMap;
    // The dispatch sub-object is absent until the class enables it.
    bool m_bAutomationEnabled = false;
};

inline size_t CmdTargetDispatchOffset() { return MERUVIA_SUBOBJECT_OFFSET(CCmdTarget, m_xDispatch); }
