// The module-wide record: the module's handle, its list of class-factory records and the
// count of what keeps the module loaded (live driver objects plus server locks).
#pragma once

#include <windows.h>

class COleObjectFactory;

struct AFX_MODULE_STATE {
    HMODULE m_hModule = nullptr;
    COleObjectFactory* m_pFirstFactory = nullptr;
    volatile LONG m_nObjectCount = 0;
};

AFX_MODULE_STATE* AfxGetModuleState();

// Raise and lower the module's object count.
void LockModule();
void UnlockModule();

// Holds the process-wide lock over the list of class-factory records.
class FactoryListLock {
public:
    FactoryListLock();
    ~FactoryListLock();
    FactoryListLock(const FactoryListLock&) = delete;
    FactoryListLock& operator=(const FactoryListLock&) = delete;
};
