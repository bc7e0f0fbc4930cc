#include "module/factory_list.h"

#include "driver/critical_section.h"
#include "driver/early_init.h"
#include "module/ole_object_factory.h"

namespace {

// Constant-initialized: the records enroll from their constructors at load.
COleObjectFactory* g_firstFactory = nullptr;

CriticalSection g_factoryListLock MERUVIA_EARLY_INIT;

} // namespace

FactoryListLock::FactoryListLock() { g_factoryListLock.Enter(); }

FactoryListLock::~FactoryListLock() { g_factoryListLock.Leave(); }

COleObjectFactory* FirstFactory(const FactoryListLock&) { return g_firstFactory; }

void EnrollFactory(COleObjectFactory& factory, const FactoryListLock&) {
    factory.m_pNext = g_firstFactory;
    g_firstFactory = &factory;
}

void WithdrawFactory(COleObjectFactory& factory, const FactoryListLock&) {
    for (COleObjectFactory** link = &g_firstFactory; *link != nullptr; link = &(*link)->m_pNext) {
        if (*link == &factory) {
            *link = factory.m_pNext;
            return;
        }
    }
}
