// The module-wide record: the module's handle and the count of what keeps the module
// loaded (live driver objects plus server locks).
#pragma once

#include <windows.h>

struct AFX_MODULE_STATE {
    HMODULE m_hModule = nullptr;
    volatile LONG m_nObjectCount = 0;
};

AFX_MODULE_STATE* AfxGetModuleState();

// Raise and lower the module's object count.
void LockModule();
void UnlockModule();

// Keeps the module loaded for as long as it lives: a member of every driver object.
class ModuleLock {
public:
    ModuleLock() { LockModule(); }
    ~ModuleLock() { UnlockModule(); }
    ModuleLock(const ModuleLock&) = delete;
    ModuleLock& operator=(const ModuleLock&) = delete;
};
