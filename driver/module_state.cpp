#include "driver/module_state.h"

namespace {

// Constant-initialized, so it is ready before any module-level object is constructed.
AFX_MODULE_STATE g_moduleState;

} // namespace

AFX_MODULE_STATE* AfxGetModuleState() { return &g_moduleState; }

void LockModule() { InterlockedIncrement(&g_moduleState.m_nObjectCount); }

// An unmatched LockServer(FALSE) takes the count below zero, and it stays there: hosts
// that release a lock twice have always been answered this way, and clamping it would hide
// the next real lock. Reaching zero has nothing to do here: unloading is the platform's
// decision, made after it asks DllCanUnloadNow.
void UnlockModule() { InterlockedDecrement(&g_moduleState.m_nObjectCount); }
