// MERUVIA.DLL as the platform sees it: its exports, its class object, the driver object's
// identity, reference counts and automation answers, the module's unload rule, and the
// same through the component runtime once the DLL is registered.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "driver_client.h"

namespace {

// {11111111-2222-3333-4444-555555555555}: a class nobody serves.
constexpr CLSID kOtherClsid = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

class Exports : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(nullptr, dll_.module()); }

    IClassFactory* Factory() {
        IClassFactory* factory = nullptr;
        EXPECT_EQ(S_OK, dll_.GetClassObject(CLSID_MeruviaPro, IID_IClassFactory,
                                            reinterpret_cast<void**>(&factory)));
        return factory;
    }

    MeruviaDll dll_;
};

TEST_F(Exports, ClassObjectAndTheUnloadRule) {
    EXPECT_EQ(S_OK, dll_.CanUnloadNow()) << "right after load";
    IClassFactory* factory = Factory();
    ASSERT_NE(nullptr, factory);
    IUnknown* unknown = nullptr;
    EXPECT_EQ(S_OK, dll_.GetClassObject(CLSID_MeruviaPro, IID_IUnknown, reinterpret_cast<void**>(&unknown)));
    EXPECT_EQ(static_cast<IUnknown*>(factory), unknown) << "identity and IClassFactory coincide";
    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());
    EXPECT_EQ(4u, factory->AddRef()) << "module 1 + two handed out + this one";
    EXPECT_EQ(3u, factory->Release());
    unknown->Release();
    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());
    factory->Release();
    EXPECT_EQ(S_OK, dll_.CanUnloadNow());
}

TEST_F(Exports, RefusedRequests) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, dll_.GetClassObject(kOtherClsid, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, dll_.GetClassObject(CLSID_MeruviaPro, IID_IDispatch, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, dll_.GetClassObject(CLSID_MeruviaPro, IID_IClassFactory, nullptr));

    IClassFactory* factory = Factory();
    EXPECT_EQ(E_POINTER, factory->QueryInterface(IID_IUnknown, nullptr));
    EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_IDriverConfig, nullptr));
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    for (const IID* iid : {&IID_IUnknown, &IID_IDriverConfig}) {
        out = reinterpret_cast<void*>(1);
        EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(factory, *iid, &out));
        EXPECT_EQ(nullptr, out);
    }
    factory->Release();
    EXPECT_EQ(S_OK, dll_.CanUnloadNow()) << "no refused object stayed alive";
}

TEST_F(Exports, CreatedObjectsHoldTheModule) {
    IClassFactory* factory = Factory();
    IDriverConfig* config = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IDriverConfig, reinterpret_cast<void**>(&config)));
    IUnknown* identity = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&identity)));
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(S_OK, identity->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)));
    EXPECT_EQ(static_cast<IUnknown*>(dispatch), identity) << "the identity is the dispatch face";
    dispatch->Release();
    factory->Release();

    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());
    EXPECT_EQ(0u, identity->Release());
    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());
    EXPECT_EQ(0u, config->Release());
    EXPECT_EQ(S_OK, dll_.CanUnloadNow());
}

TEST_F(Exports, ServerLocks) {
    IClassFactory* factory = Factory();
    factory->Release(); // the module's own reference keeps it usable
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(S_OK, dll_.CanUnloadNow());
    // An unlock without a lock takes the count below zero; a lock brings it back.
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(S_OK, dll_.CanUnloadNow());
}

TEST(ModuleLoad, WidensTheProcessErrorMode) {
    ASSERT_EQ(nullptr, GetModuleHandleA("MERUVIA.DLL"));
    SetErrorMode(SEM_NOGPFAULTERRORBOX);
    {
        MeruviaDll dll;
        ASSERT_NE(nullptr, dll.module());
        const UINT mode = SetErrorMode(0);
        SetErrorMode(mode);
        EXPECT_EQ(static_cast<UINT>(SEM_NOGPFAULTERRORBOX | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX),
                  mode);
    }
    SetErrorMode(0);
}

class Identity : public Exports {
protected:
    void SetUp() override {
        Exports::SetUp();
        config_ = dll_.Create<IDriverConfig>(IID_IDriverConfig);
        ASSERT_NE(nullptr, config_);
    }
    // The reference count as AddRef reports it, left as it was.
    ULONG Count() {
        const ULONG n = config_->AddRef() - 1;
        config_->Release();
        return n;
    }
    template <class I> I* Query(IUnknown* from, REFIID iid) {
        I* out = nullptr;
        EXPECT_EQ(S_OK, from->QueryInterface(iid, reinterpret_cast<void**>(&out)));
        return out;
    }
    IDriverConfig* config_ = nullptr;
};

TEST_F(Identity, EveryPointerLeadsToTheSameObject) {
    IDriverIo* io = Query<IDriverIo>(config_, IID_IDriverIo);
    IDispatch* dispatch = Query<IDispatch>(config_, IID_IDispatch);
    IUnknown* automation = Query<IUnknown>(config_, IID_IMeruviaPro);
    IUnknown* fromConfig = Query<IUnknown>(config_, IID_IUnknown);
    IUnknown* fromIo = Query<IUnknown>(io, IID_IUnknown);
    IUnknown* fromDispatch = Query<IUnknown>(dispatch, IID_IUnknown);
    EXPECT_EQ(fromConfig, fromIo);
    EXPECT_EQ(fromConfig, fromDispatch);
    EXPECT_EQ(fromConfig, static_cast<IUnknown*>(dispatch));
    EXPECT_EQ(fromConfig, automation);
    IDriverConfig* back = Query<IDriverConfig>(io, IID_IDriverConfig);
    EXPECT_EQ(config_, back);
    EXPECT_EQ(8u, Count());
    for (IUnknown* p : std::vector<IUnknown*>{io, dispatch, automation, fromConfig, fromIo, fromDispatch, back})
        p->Release();
    EXPECT_EQ(1u, Count());
    EXPECT_EQ(0u, config_->Release());
    EXPECT_EQ(S_OK, dll_.CanUnloadNow());
}

TEST_F(Identity, UnknownInterfacesAndCounts) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, config_->QueryInterface(IID_IClassFactory, &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(E_POINTER, config_->QueryInterface(IID_IDriverIo, nullptr));
    EXPECT_EQ(2u, config_->AddRef());
    EXPECT_EQ(1u, config_->Release());
    IDriverIo* io = Query<IDriverIo>(config_, IID_IDriverIo);
    IDispatch* dispatch = Query<IDispatch>(io, IID_IDispatch);
    EXPECT_EQ(2u, io->Release());
    EXPECT_EQ(1u, dispatch->Release());
    EXPECT_EQ(S_FALSE, dll_.CanUnloadNow());
    EXPECT_EQ(0u, config_->Release());
    EXPECT_EQ(S_OK, dll_.CanUnloadNow());
}

TEST_F(Identity, AutomationAnswersNothingHere) {
    IDispatch* dispatch = Query<IDispatch>(config_, IID_IDispatch);
    UINT count = 99;
    EXPECT_EQ(S_OK, dispatch->GetTypeInfoCount(&count));
    EXPECT_EQ(0u, count);
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(0x1234);
    EXPECT_EQ(E_INVALIDARG, dispatch->GetTypeInfo(1, 0, &info));
    EXPECT_EQ(reinterpret_cast<ITypeInfo*>(0x1234), info);
    EXPECT_EQ(E_NOTIMPL, dispatch->GetTypeInfo(0, 0, &info));
    EXPECT_EQ(reinterpret_cast<ITypeInfo*>(0x1234), info);

    wchar_t a[] = L"Value", b[] = L"Write", c[] = L"Open";
    LPOLESTR names[] = {a, b, c};
    DISPID ids[4] = {7, 7, 7, 7};
    EXPECT_EQ(DISP_E_UNKNOWNNAME, dispatch->GetIDsOfNames(IID_NULL, names, 3, 0, ids));
    EXPECT_EQ(DISPID_UNKNOWN, ids[0]);
    EXPECT_EQ(DISPID_UNKNOWN, ids[1]);
    EXPECT_EQ(DISPID_UNKNOWN, ids[2]);
    EXPECT_EQ(7, ids[3]);
    DISPID untouched[3] = {7, 7, 7};
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, dispatch->GetIDsOfNames(IID_IDriverIo, names, 3, 0, untouched));
    EXPECT_EQ(DISP_E_UNKNOWNNAME, dispatch->GetIDsOfNames(IID_NULL, names, 0, 0, untouched));
    EXPECT_EQ(7, untouched[0]);

    VARIANT result;
    memset(&result, 0xAB, sizeof result);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    EXPECT_EQ(DISP_E_UNKNOWNINTERFACE,
              dispatch->Invoke(DISPID_VALUE, IID_IDriverIo, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr));
    const VARIANT empty = {};
    EXPECT_EQ(0, memcmp(&empty, &result, sizeof result)) << "the result is emptied first";

    VARIANTARG arg;
    VariantInit(&arg);
    DISPID put[2] = {DISPID_PROPERTYPUT, 5};
    DISPPARAMS onePut = {&arg, put, 1, 1};
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
              dispatch->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &onePut, nullptr, nullptr, nullptr));
    VARIANTARG args[2];
    VariantInit(&args[0]);
    VariantInit(&args[1]);
    DISPPARAMS twoNamed = {args, put, 2, 2};
    EXPECT_EQ(DISP_E_NONAMEDARGS,
              dispatch->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYPUT, &twoNamed, nullptr, nullptr, nullptr));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
              dispatch->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr));
    dispatch->Release();
    config_->Release();
}

// Outside the platform's contract, but a host may do it: each gets an answer, not a crash.
TEST_F(Identity, NullPointersOnTheAutomationFace) {
    IDispatch* dispatch = Query<IDispatch>(config_, IID_IDispatch);
    EXPECT_EQ(E_POINTER, dispatch->GetTypeInfoCount(nullptr));

    VARIANT result;
    memset(&result, 0xAB, sizeof result);
    EXPECT_EQ(E_POINTER, dispatch->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, nullptr, &result, nullptr,
                                          nullptr));
    const VARIANT empty = {};
    EXPECT_EQ(0, memcmp(&empty, &result, sizeof result));

    wchar_t a[] = L"Value";
    LPOLESTR names[] = {a};
    DISPID ids[1] = {7};
    EXPECT_EQ(E_POINTER, dispatch->GetIDsOfNames(IID_NULL, nullptr, 1, 0, ids));
    EXPECT_EQ(7, ids[0]);
    EXPECT_EQ(E_POINTER, dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, nullptr));
    EXPECT_EQ(DISP_E_UNKNOWNNAME, dispatch->GetIDsOfNames(IID_NULL, nullptr, 0, 0, nullptr));
    dispatch->Release();
    config_->Release();
}

struct CreationRun {
    IClassFactory* factory;
    int objects;
    std::atomic<int> failures;
};

// Plain Windows threads: the programs are built without a POSIX-thread runtime.
DWORD WINAPI CreateAndRelease(void* arg) {
    auto* run = static_cast<CreationRun*>(arg);
    for (int i = 0; i < run->objects; ++i) {
        IDriverConfig* config = nullptr;
        IDriverIo* io = nullptr;
        if (run->factory->CreateInstance(nullptr, IID_IDriverConfig, reinterpret_cast<void**>(&config)) != S_OK ||
            config->QueryInterface(IID_IDriverIo, reinterpret_cast<void**>(&io)) != S_OK) {
            ++run->failures;
            continue;
        }
        io->Release();
        config->Release();
    }
    return 0;
}

// Many threads creating, querying and releasing at once end with nothing alive.
TEST_F(Exports, ConcurrentCreationAndRelease) {
    IClassFactory* factory = Factory();
    constexpr int kThreads = 4;
    constexpr int kObjects = 100000;
    CreationRun shared{factory, kObjects, {0}};
    HANDLE threads[kThreads];
    for (HANDLE& t : threads)
        t = CreateThread(nullptr, 0, CreateAndRelease, &shared, 0, nullptr);
    WaitForMultipleObjects(kThreads, threads, TRUE, INFINITE);
    for (HANDLE t : threads)
        CloseHandle(t);
    factory->Release();
    EXPECT_EQ(0, shared.failures.load());
    EXPECT_EQ(S_OK, dll_.CanUnloadNow());
}

} // namespace
