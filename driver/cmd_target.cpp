#include "driver/cmd_target.h"

#include "driver/driver_seams.h"

const CRuntimeClass kObjectRuntimeClass = {"CObject", 0, nullptr, nullptr};
const CRuntimeClass kCmdTargetRuntimeClass = {"CCmdTarget", static_cast<int>(sizeof(CCmdTarget)),
                                              nullptr, &kObjectRuntimeClass};

namespace {

void* WINAPI AllocFromProcessHeap(SIZE_T size) { return HeapAlloc(GetProcessHeap(), 0, size); }

// What every CCmdTarget answers after its class's own rows.
const InterfaceMapEntry* BaseInterfaceMap() {
    static const InterfaceMapEntry map[] = {
        {&IID_IDispatch, CmdTargetDispatchOffset()},
        {nullptr, 0},
    };
    return map;
}

void* FindRow(const InterfaceMapEntry* map, REFIID iid, bool anyRow,
              void* (*at)(void*, size_t), void* self) {
    for (; map->piid != nullptr; ++map) {
        if (!anyRow && !IsEqualIID(*map->piid, iid))
            continue;
        if (void* sub = at(self, map->nOffset))
            return sub;
    }
    return nullptr;
}

} // namespace

void*(WINAPI* g_pfnAllocObject)(SIZE_T) = AllocFromProcessHeap;

// No exceptions: a failed allocation yields null and no constructor runs.
void* CCmdTarget::operator new(size_t size) noexcept { return g_pfnAllocObject(size); }

void CCmdTarget::operator delete(void* p) noexcept {
    if (p != nullptr)
        HeapFree(GetProcessHeap(), 0, p);
}

CCmdTarget::~CCmdTarget() {
    // An object destroyed while references are still counted (the class factory's failure
    // path) tells the platform to drop any connections to it.
    if (IsAutomationEnabled())
        m_xDispatch.Disconnect();
}

void CCmdTarget::OnFinalRelease() { delete this; }

void* CCmdTarget::SubObjectAt(size_t offset) {
    if (offset == CmdTargetDispatchOffset() && !m_bAutomationEnabled)
        return nullptr;
    return reinterpret_cast<char*>(this) + offset;
}

void* CCmdTarget::GetInterface(REFIID iid) {
    auto at = [](void* self, size_t offset) {
        return static_cast<CCmdTarget*>(self)->SubObjectAt(offset);
    };
    const bool anyRow = IsEqualIID(iid, IID_IUnknown);
    if (void* sub = FindRow(m_pInterfaceMap, iid, anyRow, at, this))
        return sub;
    return FindRow(BaseInterfaceMap(), iid, anyRow, at, this);
}

IUnknown* CCmdTarget::GetControllingUnknown() {
    return static_cast<IUnknown*>(GetInterface(IID_IUnknown));
}

ULONG CCmdTarget::ExternalAddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_dwRef)); }

ULONG CCmdTarget::ExternalRelease() {
    if (m_dwRef == 0)
        return 0;
    const LONG count = InterlockedDecrement(&m_dwRef);
    if (count == 0)
        OnFinalRelease();
    return static_cast<ULONG>(count);
}

ULONG CCmdTarget::ReleaseAboveOne() {
    for (;;) {
        const LONG count = m_dwRef;
        if (count <= 1)
            return static_cast<ULONG>(count);
        if (InterlockedCompareExchange(&m_dwRef, count - 1, count) == count)
            return static_cast<ULONG>(count - 1);
    }
}

bool CCmdTarget::HoldUnlessReleased() {
    if (m_dwRef == 0)
        return false;
    InterlockedIncrement(&m_dwRef);
    return true;
}

HRESULT CCmdTarget::ExternalQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr)
        return E_POINTER;
    void* sub = GetInterface(iid);
    *ppv = sub;
    if (sub == nullptr)
        return E_NOINTERFACE;
    ExternalAddRef();
    return S_OK;
}
