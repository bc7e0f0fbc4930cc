// The module's list of class-factory records. Each record enrolls itself as it is
// constructed at load and withdraws as it is destroyed at unload; the exports and the
// registration walk the list. Every use holds the list's lock, and the functions that read
// or change the list take that lock as a token, so none can be called without it.
#pragma once

class COleObjectFactory;

class FactoryListLock {
public:
    FactoryListLock();
    ~FactoryListLock();
    FactoryListLock(const FactoryListLock&) = delete;
    FactoryListLock& operator=(const FactoryListLock&) = delete;
};

// The first record, or null; each record's m_pNext leads to the next.
COleObjectFactory* FirstFactory(const FactoryListLock& held);
void EnrollFactory(COleObjectFactory& factory, const FactoryListLock& held);
void WithdrawFactory(COleObjectFactory& factory, const FactoryListLock& held);
