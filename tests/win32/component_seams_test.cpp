// The class factory and self-registration linked into the test program, where the few
// things the platform will not do on request (run out of memory, refuse a registry write,
// fail a short-path lookup) can be made to happen through the module's own seams.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "driver/driver_seams.h"
#include "driver/meruvia_pro.h"
#include "driver/module_state.h"
#include "driver/ole_dispatch_impl.h"
#include "driver/trace.h"
#include "host/host_interfaces.h"
#include "host/one_value_block.h"
#include "host/port_config.h"
#include "module/factory_list.h"
#include "module/module_seams.h"
#include "module/ole_object_factory.h"
#include "module/self_registration.h"
#include "seam_override.h"
#include "serial/serial_seams.h"

extern "C" uintptr_t __stack_chk_guard; // the module's stack canary

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
        ASSERT_EQ(S_OK, factory_.ExternalQueryInterface(IID_IClassFactory,
                                                        reinterpret_cast<void**>(&classFactory_)));
        countBefore_ = ObjectCount();
    }
    void TearDown() override { classFactory_->Release(); }

    COleObjectFactory factory_{CLSID_MeruviaPro, &CMeruviaPro::kRuntimeClass, FALSE, kMeruviaProgId};
    IClassFactory* classFactory_ = nullptr;
    LONG countBefore_ = 0;
    SeamOverride<HRESULT(STDAPICALLTYPE*)(LPUNKNOWN, DWORD)> disconnect_{g_pfnCoDisconnectObject, CountDisconnect};
};

TEST_F(ClassFactory, ExhaustedStorageIsAnsweredWithOutOfMemory) {
    const SeamOverride<void*(WINAPI*)(SIZE_T)> noStorage(g_pfnAllocObject, NoStorage);
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

// A port write that sends only part of the frame.
int32_t WriteFiveOfEight(SerialHandle, const uint8_t*, int32_t length) { return length > 5 ? 5 : length; }
int32_t WriteFailing(SerialHandle, const uint8_t*, int32_t) { return -1; }
std::string g_written;
int32_t WriteWhole(SerialHandle, const uint8_t* data, int32_t length) {
    g_written.assign(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
    return length;
}

TEST(PortWrite, OnlyAWholeFrameCountsAsWritten) {
    CMeruviaPro* driver = static_cast<CMeruviaPro*>(CMeruviaPro::CreateObject());
    ASSERT_NE(nullptr, driver);
    const PortHandleRecord record = {GetStdHandle(STD_OUTPUT_HANDLE)}; // any handle: the write is replaced
    driver->SetPortHandle(&record);
    OneValueBlock block(1.5f);
    struct {
        int32_t (*write)(SerialHandle, const uint8_t*, int32_t);
        int32_t expected;
    } const cases[] = {{WriteFiveOfEight, 0}, {WriteFailing, 0}, {WriteWhole, 1}};
    for (const auto& c : cases) {
        const SeamOverride<int32_t (*)(SerialHandle, const uint8_t*, int32_t)> write(g_pfnWriteSerialPort, c.write);
        EXPECT_EQ(c.expected, driver->WriteBlock(block.get()));
    }
    EXPECT_EQ("=005.100", g_written);

    // A block of several items shows its first one.
    TagValue second{};
    second.fValue = 7.0f;
    const ItemNode items[2] = {{{}, block.get()->pItems->pTag}, {{}, &second}};
    block.Set(-12.5f);
    block.block().pItems = items;
    {
        const SeamOverride<int32_t (*)(SerialHandle, const uint8_t*, int32_t)> write(g_pfnWriteSerialPort, WriteWhole);
        EXPECT_EQ(1, driver->WriteBlock(block.get()));
    }
    EXPECT_EQ("=005.21-", g_written);

    driver->ExternalRelease(); // an adopted port is the host's: not closed here
}

// What the port gets is the device control block as the port had it, with exactly the
// speed, data bits, parity and stop bits set, in the values Windows defines for them.
DCB g_dcbGiven;
BOOL WINAPI RecordCommState(HANDLE, LPDCB dcb) {
    g_dcbGiven = *dcb;
    return TRUE;
}

TEST(PortSettings, DeviceControlBlockByteForByte) {
    const SeamOverride<BOOL(WINAPI*)(HANDLE, LPDCB)> record(g_pfnSetCommState, RecordCommState);
    for (uint32_t baud : {110u, 9600u, 115200u})
        for (int dataBits = 5; dataBits <= 8; ++dataBits)
            for (int parity = 0; parity <= 4; ++parity)
                for (int stopBits = 1; stopBits <= 2; ++stopBits) {
                    LineSettings settings = {baud, DataBits::Eight, Parity::None, MapStopBits(static_cast<int16_t>(stopBits))};
                    ASSERT_TRUE(MapDataBits(static_cast<uint16_t>(dataBits), settings.dataBits));
                    ASSERT_TRUE(MapParity(static_cast<uint16_t>(parity), settings.parity));
                    memset(&g_dcbGiven, 0xA5, sizeof g_dcbGiven);
                    // NUL opens but is no serial device: the block starts as the port
                    // reports it, which here is nothing.
                    const SerialHandle port = OpenSerialPort("NUL", settings).port;
                    ASSERT_NE(kNoSerialHandle, port);
                    CloseSerialPort(port);
                    DCB expected = {};
                    expected.DCBlength = sizeof expected;
                    expected.BaudRate = baud;
                    expected.ByteSize = static_cast<BYTE>(dataBits);
                    expected.Parity = static_cast<BYTE>(parity); // NOPARITY .. SPACEPARITY
                    expected.StopBits = stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
                    EXPECT_EQ(0, memcmp(&expected, &g_dcbGiven, sizeof expected))
                        << baud << " " << dataBits << " " << parity << " " << stopBits;
                }
}

// The host may hand back the very port the driver opened: it stays open, now the host's,
// and frames still go out on it.
TEST(PortSettings, PortHandedBackByTheHostStaysOpen) {
    const SeamOverride<BOOL(WINAPI*)(HANDLE, LPDCB)> accept(g_pfnSetCommState, RecordCommState);
    CMeruviaPro* driver = static_cast<CMeruviaPro*>(CMeruviaPro::CreateObject());
    ASSERT_NE(nullptr, driver);
    PortConfig config;
    ASSERT_TRUE(MakePortConfig("NUL", 9600, 8, 1, 0, config));
    ASSERT_EQ(1, driver->OpenPort(0, &config));
    const PortHandleRecord record = {driver->m_port.handle()};
    EXPECT_EQ(1, driver->SetPortHandle(&record));
    DWORD flags = 0;
    EXPECT_TRUE(GetHandleInformation(record.hPort, &flags)) << "the handle is still open";
    OneValueBlock block(1.5f);
    EXPECT_EQ(1, driver->WriteBlock(block.get()));
    EXPECT_EQ(1, driver->ClosePort());
    EXPECT_FALSE(GetHandleInformation(record.hPort, &flags)) << "ClosePort closes it";
    driver->ExternalRelease();
}

// Two handles the host handed over in a row: both are the host's, so taking the second
// leaves the first open; only ClosePort closes the one held.
TEST(PortSettings, ASecondHostHandleLeavesTheFirstOpen) {
    CMeruviaPro* driver = static_cast<CMeruviaPro*>(CMeruviaPro::CreateObject());
    ASSERT_NE(nullptr, driver);
    HANDLE first = CreateFileA("NUL", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE second = CreateFileA("NUL", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, first);
    ASSERT_NE(INVALID_HANDLE_VALUE, second);
    const PortHandleRecord firstRecord = {first};
    const PortHandleRecord secondRecord = {second};
    EXPECT_EQ(1, driver->SetPortHandle(&firstRecord));
    EXPECT_EQ(1, driver->SetPortHandle(&secondRecord));
    DWORD flags = 0;
    EXPECT_TRUE(GetHandleInformation(first, &flags)) << "the host's first handle is still open";
    EXPECT_EQ(1, driver->ClosePort());
    EXPECT_FALSE(GetHandleInformation(second, &flags)) << "ClosePort closes the one held";
    EXPECT_TRUE(GetHandleInformation(first, &flags));
    CloseHandle(first);
    driver->ExternalRelease();
}

// The list of class factories is free again after every use: another thread can take it.
DWORD WINAPI TakeFactoryList(void*) {
    const FactoryListLock held;
    return FirstFactory(held) != nullptr ? 1 : 0;
}

TEST(FactoryList, ItsLockIsFreeForAnotherThreadAfterEachUse) {
    COleObjectFactory enrolled{CLSID_MeruviaPro, &CMeruviaPro::kRuntimeClass, FALSE, kMeruviaProgId};
    {
        const FactoryListLock held;
        EXPECT_EQ(&enrolled, FirstFactory(held));
    }
    HANDLE thread = CreateThread(nullptr, 0, TakeFactoryList, nullptr, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 30000)) << "the other thread never got the list";
    DWORD found = 0;
    GetExitCodeThread(thread, &found);
    EXPECT_EQ(1u, found);
    CloseHandle(thread);
}

// The stack canary is seeded anew in every process: a constant one could be written by an
// overflow that knows it.
TEST(StackGuard, DiffersFromProcessToProcess) {
    if (GetEnvironmentVariableA("MERUVIA_SHOW_STACK_GUARD", nullptr, 0) != 0) {
        printf("stack guard %08lx\n", static_cast<unsigned long>(__stack_chk_guard));
        return;
    }
    char self[MAX_PATH];
    ASSERT_NE(0u, GetModuleFileNameA(nullptr, self, MAX_PATH));
    std::set<unsigned long> guards = {static_cast<unsigned long>(__stack_chk_guard)};
    SetEnvironmentVariableA("MERUVIA_SHOW_STACK_GUARD", "1");
    for (int k = 0; k < 2; ++k) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE readEnd = nullptr;
        HANDLE writeEnd = nullptr;
        ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &inherit, 0));
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd;
        startup.hStdError = writeEnd;
        std::string command = std::string("\"") + self + "\" --gtest_filter=StackGuard.DiffersFromProcessToProcess";
        PROCESS_INFORMATION child = {};
        ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child));
        CloseHandle(writeEnd);
        std::string output;
        char buffer[512];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
            output.append(buffer, got);
        WaitForSingleObject(child.hProcess, INFINITE);
        CloseHandle(child.hProcess);
        CloseHandle(child.hThread);
        CloseHandle(readEnd);
        unsigned long guard = 0;
        const size_t at = output.find("stack guard ");
        ASSERT_NE(std::string::npos, at) << output;
        ASSERT_EQ(1, sscanf(output.c_str() + at, "stack guard %lx", &guard));
        guards.insert(guard);
    }
    SetEnvironmentVariableA("MERUVIA_SHOW_STACK_GUARD", nullptr);
    EXPECT_EQ(3u, guards.size()) << "the same canary in two processes";
    EXPECT_EQ(0u, guards.count(0));
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
    std::vector<std::string> written; // "key=value", in UTF-8
    int refuseAfter = -1;             // writes that succeed before the first refusal
    bool keysExist = false;           // every keep-existing key already has a value
    bool moduleFileFails = false;
    bool shortPathFails = false;
};
FakeRegistry* g_fake = nullptr;

std::string Utf8(const wchar_t* text) {
    char out[4096];
    return WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out, nullptr, nullptr) > 0 ? out : "?";
}

LONG WINAPI FakeQuery(HKEY, LPCSTR, LPSTR, PLONG) {
    return g_fake->keysExist ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}
LONG WINAPI FakeSet(HKEY, LPCWSTR key, DWORD, LPCWSTR value, DWORD) {
    if (g_fake->refuseAfter >= 0 && static_cast<int>(g_fake->written.size()) >= g_fake->refuseAfter)
        return ERROR_ACCESS_DENIED;
    g_fake->written.push_back(Utf8(key) + "=" + Utf8(value));
    return ERROR_SUCCESS;
}
DWORD WINAPI FakeModuleFileName(HMODULE module, LPWSTR path, DWORD size) {
    if (g_fake->moduleFileFails)
        return 0;
    return GetModuleFileNameW(module, path, size);
}
DWORD WINAPI FakeShortPath(LPCWSTR longPath, LPWSTR shortPath, DWORD size) {
    if (g_fake->shortPathFails)
        return 0;
    return GetShortPathNameW(longPath, shortPath, size);
}

const char kServerKey[] = "CLSID\\{93447081-C721-4469-8B89-46F355783C14}\\InProcServer32=";

class Registration : public ::testing::Test {
protected:
    void SetUp() override {
        g_fake = &fake_;
        COleObjectFactory::RegisterAll();
    }
    void TearDown() override { g_fake = nullptr; }
    FakeRegistry fake_;
    SeamOverride<RegistrationApi> api_{g_registrationApi, {FakeQuery, FakeSet, FakeModuleFileName, FakeShortPath}};
    COleObjectFactory factory_{CLSID_MeruviaPro, &CMeruviaPro::kRuntimeClass, FALSE, kMeruviaProgId};
};

// A refused write is reported, so that regsvr32 and installers do not claim success.
TEST_F(Registration, RefusedFirstWriteWritesNothingAndFails) {
    fake_.refuseAfter = 0;
    EXPECT_EQ(SELFREG_E_CLASS, DllRegisterServer());
    EXPECT_TRUE(fake_.written.empty());
}

TEST_F(Registration, RefusedWriteStopsItsPassAndFails) {
    fake_.refuseAfter = 3; // both keep-existing entries and the first replace entry
    EXPECT_EQ(SELFREG_E_CLASS, DllRegisterServer());
    ASSERT_EQ(3u, fake_.written.size());
    EXPECT_EQ("MERUVIA.MeruviaPro\\CLSID={93447081-C721-4469-8B89-46F355783C14}", fake_.written[2]);
}

TEST_F(Registration, NoModulePathWritesNothingAndFails) {
    fake_.moduleFileFails = true;
    EXPECT_EQ(SELFREG_E_CLASS, DllRegisterServer());
    EXPECT_TRUE(fake_.written.empty());
}

TEST_F(Registration, KeptKeysCountAsInPlace) {
    fake_.keysExist = true;
    EXPECT_EQ(S_OK, DllRegisterServer());
    EXPECT_EQ(3u, fake_.written.size()) << "only the replace entries are written";
}

TEST_F(Registration, FullPathWhenNoShortPath) {
    fake_.shortPathFails = true;
    EXPECT_EQ(S_OK, DllRegisterServer());
    ASSERT_EQ(5u, fake_.written.size());
    wchar_t full[MAX_PATH];
    GetModuleFileNameW(AfxGetModuleState()->m_hModule, full, MAX_PATH);
    EXPECT_EQ(kServerKey + Utf8(full), fake_.written[4]);
}

TEST_F(Registration, EntriesInOrder) {
    EXPECT_EQ(S_OK, DllRegisterServer());
    wchar_t full[MAX_PATH];
    wchar_t shortPath[MAX_PATH];
    GetModuleFileNameW(AfxGetModuleState()->m_hModule, full, MAX_PATH);
    ASSERT_GT(GetShortPathNameW(full, shortPath, MAX_PATH), 0u);
    const std::vector<std::string> expected = {
        "MERUVIA.MeruviaPro=MERUVIA.MeruviaPro",
        "CLSID\\{93447081-C721-4469-8B89-46F355783C14}=MERUVIA.MeruviaPro",
        "MERUVIA.MeruviaPro\\CLSID={93447081-C721-4469-8B89-46F355783C14}",
        "CLSID\\{93447081-C721-4469-8B89-46F355783C14}\\ProgID=MERUVIA.MeruviaPro",
        kServerKey + Utf8(shortPath),
    };
    EXPECT_EQ(expected, fake_.written);
}

// The trace's file lock held elsewhere (another handle counts as another process): each
// line tries the lock once and is dropped, never waited for, and the next line written
// says how many went missing.
int g_lockAttempts = 0;
BOOL WINAPI CountingLock(HANDLE file, DWORD flags, DWORD reserved, DWORD low, DWORD high, LPOVERLAPPED at) {
    ++g_lockAttempts;
    return LockFileEx(file, flags, reserved, low, high, at);
}

TEST(Trace, ALineNeverWaitsForTheFileLockAndTheNextOneCountsTheDropped) {
    wchar_t path[64];
    _snwprintf(path, 63, L"C:\\seams-trace-%lu.log", GetCurrentProcessId());
    path[63] = L'\0';
    DeleteFileW(path);
    ASSERT_TRUE(SetEnvironmentVariableW(L"MERUVIA_TRACE", path));
    StartTrace();
    TraceLine(nullptr, "first");
    HANDLE other = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    OVERLAPPED at = {};
    at.Offset = 0xFFFFFFFE; // the byte every tracing process locks to append
    at.OffsetHigh = 0x7FFFFFFF;
    ASSERT_TRUE(LockFileEx(other, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at));
    {
        const SeamOverride<BOOL(WINAPI*)(HANDLE, DWORD, DWORD, DWORD, DWORD, LPOVERLAPPED)> counting(g_pfnLockFileEx,
                                                                                                   CountingLock);
        g_lockAttempts = 0;
        for (int k = 0; k < 3; ++k)
            TraceLine(nullptr, "dropped %d", k);
        EXPECT_EQ(3, g_lockAttempts) << "one try a line, no waiting";
    }
    OVERLAPPED again = at;
    UnlockFileEx(other, 0, 1, 0, &again);
    TraceLine(nullptr, "after");
    StopTrace();
    SetEnvironmentVariableW(L"MERUVIA_TRACE", nullptr);

    char text[1024] = {};
    DWORD got = 0;
    SetFilePointer(other, 0, nullptr, FILE_BEGIN);
    ReadFile(other, text, sizeof text - 1, &got, nullptr);
    CloseHandle(other);
    DeleteFileW(path);
    const std::string lines(text, got);
    EXPECT_NE(std::string::npos, lines.find(" first\r\n")) << lines;
    EXPECT_EQ(std::string::npos, lines.find("dropped 0")) << lines;
    EXPECT_NE(std::string::npos,
              lines.find(" after [3 trace lines before this one dropped: another process held the file]\r\n"))
        << lines;
}

} // namespace
