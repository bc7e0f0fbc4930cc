// The class factory and self-registration linked into the test program, where the few
// things the platform will not do on request (run out of memory, refuse a registry write,
// fail a short-path lookup) can be made to happen through the module's own seams.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/host_interfaces.h"
#include "driver/meruvia_pro.h"
#include "driver/ole_dispatch_impl.h"
#include "module/module_state.h"
#include "module/ole_object_factory.h"
#include "module/self_registration.h"

namespace {

LONG ObjectCount() { return AfxGetModuleState()->m_nObjectCount; }

// Counts the platform disconnect calls instead of making them.
int g_disconnects = 0;
HRESULT STDAPICALLTYPE CountDisconnect(LPUNKNOWN, DWORD) {
    ++g_disconnects;
    return S_OK;
}

void* WINAPI NoStorage(SIZE_T) { return nullptr; }

class ClassFactory : public ::testing::Test {
protected:
    void SetUp() override {
        g_disconnects = 0;
        g_pfnCoDisconnectObject = CountDisconnect;
        savedAlloc_ = g_pfnAllocObject;
        ASSERT_EQ(S_OK, factory_.ExternalQueryInterface(IID_IClassFactory,
                                                        reinterpret_cast<void**>(&classFactory_)));
        countBefore_ = ObjectCount();
    }
    void TearDown() override {
        classFactory_->Release();
        g_pfnCoDisconnectObject = CoDisconnectObject;
        g_pfnAllocObject = savedAlloc_;
    }

    COleObjectFactory factory_{CLSID_MeruviaPro, &CMeruviaPro::kRuntimeClass, FALSE, kMeruviaProgId};
    IClassFactory* classFactory_ = nullptr;
    LONG countBefore_ = 0;
    void*(WINAPI* savedAlloc_)(SIZE_T) = nullptr;
};

TEST_F(ClassFactory, ExhaustedStorageIsAnsweredWithOutOfMemory) {
    g_pfnAllocObject = NoStorage;
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_OUTOFMEMORY, classFactory_->CreateInstance(nullptr, IID_IDriverConfig, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(countBefore_, ObjectCount());
    EXPECT_EQ(0, g_disconnects);
}

TEST_F(ClassFactory, FailurePathsDisconnectTheDestroyedObjectOnce) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, classFactory_->CreateInstance(nullptr, IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(1, g_disconnects);
    EXPECT_EQ(countBefore_, ObjectCount());

    IUnknown* outer = classFactory_; // any non-null controlling object
    EXPECT_EQ(CLASS_E_NOAGGREGATION, classFactory_->CreateInstance(outer, IID_IUnknown, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_EQ(2, g_disconnects);
    EXPECT_EQ(countBefore_, ObjectCount());
}

TEST_F(ClassFactory, OrdinaryFinalReleaseDoesNotDisconnect) {
    IDriverConfig* config = nullptr;
    ASSERT_EQ(S_OK, classFactory_->CreateInstance(nullptr, IID_IDriverConfig,
                                                  reinterpret_cast<void**>(&config)));
    EXPECT_EQ(countBefore_ + 1, ObjectCount());
    EXPECT_EQ(0u, config->Release());
    EXPECT_EQ(0, g_disconnects);
    EXPECT_EQ(countBefore_, ObjectCount());
}

TEST_F(ClassFactory, ExtraReleasesKeepTheModulesReference) {
    // The factory holds 1 for the module and 1 for this test's pointer.
    EXPECT_EQ(1u, classFactory_->Release());
    EXPECT_EQ(1u, classFactory_->Release());
    EXPECT_EQ(1u, classFactory_->Release());
    EXPECT_EQ(2u, classFactory_->AddRef());
    IDriverConfig* config = nullptr;
    EXPECT_EQ(S_OK, classFactory_->CreateInstance(nullptr, IID_IDriverConfig,
                                                  reinterpret_cast<void**>(&config)));
    config->Release();
}

TEST(ModuleObjectCount, MovesByOneAndMayGoBelowZero) {
    const LONG start = ObjectCount();
    UnlockModule();
    EXPECT_EQ(start - 1, ObjectCount());
    LockModule();
    EXPECT_EQ(start, ObjectCount());
    CCmdTarget* a = CMeruviaPro::CreateObject();
    CCmdTarget* b = CMeruviaPro::CreateObject();
    delete a;
    EXPECT_EQ(start + 1, ObjectCount());
    b->ExternalRelease();
    EXPECT_EQ(start, ObjectCount());
}

// Registry calls recorded, not made.
struct FakeRegistry {
    std::vector<std::string> written; // "key=value"
    int refuseAfter = -1;             // writes that succeed before the first refusal
    bool shortPathFails = false;
};
FakeRegistry* g_fake = nullptr;

LONG WINAPI FakeQuery(HKEY, LPCSTR, LPSTR, PLONG) { return ERROR_FILE_NOT_FOUND; }
LONG WINAPI FakeSet(HKEY, LPCSTR key, DWORD, LPCSTR value, DWORD) {
    if (g_fake->refuseAfter >= 0 && static_cast<int>(g_fake->written.size()) >= g_fake->refuseAfter)
        return ERROR_ACCESS_DENIED;
    g_fake->written.push_back(std::string(key) + "=" + value);
    return ERROR_SUCCESS;
}
DWORD WINAPI FakeShortPath(LPCSTR longPath, LPSTR shortPath, DWORD size) {
    if (g_fake->shortPathFails)
        return 0;
    return GetShortPathNameA(longPath, shortPath, size);
}

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        g_fake = &fake_;
        saved_ = g_registrationApi;
        g_registrationApi = {FakeQuery, FakeSet, FakeShortPath};
        COleObjectFactory::RegisterAll();
    }
    void TearDown() override {
        g_registrationApi = saved_;
        g_fake = nullptr;
    }
    FakeRegistry fake_;
    RegistrationApi saved_;
    COleObjectFactory factory_{CLSID_MeruviaPro, &CMeruviaPro::kRuntimeClass, FALSE, kMeruviaProgId};
};

TEST_F(Registration, RefusedFirstWriteWritesNothingAndSucceeds) {
    fake_.refuseAfter = 0;
    EXPECT_EQ(S_OK, DllRegisterServer());
    EXPECT_TRUE(fake_.written.empty());
}

TEST_F(Registration, RefusedWriteStopsItsPass) {
    fake_.refuseAfter = 3; // both keep-existing entries and the first replace entry
    EXPECT_EQ(S_OK, DllRegisterServer());
    ASSERT_EQ(3u, fake_.written.size());
    EXPECT_EQ("MERUVIA.MeruviaPro\\CLSID={93447081-C721-4469-8B89-46F355783C14}", fake_.written[2]);
}

TEST_F(Registration, FullPathWhenNoShortPath) {
    fake_.shortPathFails = true;
    EXPECT_EQ(S_OK, DllRegisterServer());
    ASSERT_EQ(5u, fake_.written.size());
    char full[MAX_PATH];
    GetModuleFileNameA(AfxGetModuleState()->m_hModule, full, MAX_PATH);
    EXPECT_EQ("CLSID\\{93447081-C721-4469-8B89-46F355783C14}\\InProcServer32=" + std::string(full),
              fake_.written[4]);
}

TEST_F(Registration, EntriesInOrder) {
    EXPECT_EQ(S_OK, DllRegisterServer());
    const std::vector<std::string> expected = {
        "MERUVIA.MeruviaPro=MERUVIA.MeruviaPro",
        "CLSID\\{93447081-C721-4469-8B89-46F355783C14}=MERUVIA.MeruviaPro",
        "MERUVIA.MeruviaPro\\CLSID={93447081-C721-4469-8B89-46F355783C14}",
        "CLSID\\{93447081-C721-4469-8B89-46F355783C14}\\ProgID=MERUVIA.MeruviaPro",
    };
    ASSERT_EQ(5u, fake_.written.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(expected[i], fake_.written[i]);
}

} // namespace
