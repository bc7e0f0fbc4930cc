#include "driver/module_state.h"

#include "driver/critical_section.h"

namespace {

// Constant-initialized, so it is ready before any module-level object is constructed.
AFX_MODULE_STATE g_moduleState;

// The class-factory records add themselves to the list as they are constructed.
CriticalSection g_factoryListLock MERUVIA_EARLY_INIT;

// Reaching zero has nothing to do in a module: unloading is the platform's decision,
// made after it asks DllCanUnloadNow.
void OnAllObjectsReleased() {}

} // namespace

AFX_MODULE_STATE* AfxGetModuleState() { return &g_moduleState; }

void LockModule() { InterlockedIncrement(&g_moduleState.m_nObjectCount); }

// An unmatched LockServer(FALSE) takes the count below zero, and it stays there: hosts
// that release a lock twice have always been answered this way, and clamping it would hide
// the next real lock.
void UnlockModule() {
    if (InterlockedDecrement(&g_moduleState.m_nObjectCount) == 0)
        OnAllObjectsReleased();
}

FactoryListLock::FactoryListLock() { g_factoryListLock.Enter(); }

FactoryListLock::~FactoryListLock() { g_factoryListLock.Leave(); }
