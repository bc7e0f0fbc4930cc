// Self-registration through regsvr32, read back from the registry, and the driver then
// created through the component runtime by a client that knows only the ProgID.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "driver_client.h"

namespace {

const char kClsidText[] = "{93447081-C721-4469-8B89-46F355783C14}";
const std::string kClassKey = std::string("CLSID\\") + kClsidText;

std::string BesideThisProgram(const char* name) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of("\\/") + 1) + name;
}

// Runs regsvr32 /s on the file and returns its exit code.
DWORD RunRegsvr32(const std::string& dll) {
    std::string command = "regsvr32.exe /s \"" + dll + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return static_cast<DWORD>(-1);
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = static_cast<DWORD>(-1);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

void RemoveEntries() {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "MERUVIA.MeruviaPro");
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kClassKey.c_str());
}

// What one key holds: its default value, its named values, its subkeys.
struct KeyContents {
    bool exists = false;
    std::string defaultValue;
    std::set<std::string> namedValues;
    std::set<std::string> subkeys;
};

KeyContents Read(const std::string& path) {
    KeyContents k;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return k;
    k.exists = true;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameLen = sizeof name;
        char data[1024];
        DWORD dataLen = sizeof data;
        DWORD type = 0;
        if (RegEnumValueA(key, i, name, &nameLen, nullptr, &type,
                          reinterpret_cast<BYTE*>(data), &dataLen) != ERROR_SUCCESS)
            break;
        if (nameLen == 0 && type == REG_SZ)
            k.defaultValue.assign(data, dataLen > 0 ? dataLen - 1 : 0);
        else
            k.namedValues.insert(name);
    }
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameLen = sizeof name;
        if (RegEnumKeyExA(key, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        k.subkeys.insert(name);
    }
    RegCloseKey(key);
    return k;
}

void SetDefault(const std::string& path, const std::string& value) {
    RegSetValueA(HKEY_CLASSES_ROOT, path.c_str(), REG_SZ, value.c_str(), static_cast<DWORD>(value.size()));
}

std::string ShortPath(const std::string& path) {
    char buffer[MAX_PATH];
    const DWORD n = GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(buffer) : path;
}

class Registration : public ::testing::Test {
protected:
    void SetUp() override { RemoveEntries(); }
    void TearDown() override {
        // Leave the build's own DLL registered for whoever comes next.
        RemoveEntries();
        RunRegsvr32(dll_);
    }
    const std::string dll_ = BesideThisProgram("MERUVIA.DLL");
};

TEST_F(Registration, WritesExactlyTheFiveKeys) {
    ASSERT_EQ(0u, RunRegsvr32(dll_));

    const KeyContents progId = Read("MERUVIA.MeruviaPro");
    EXPECT_TRUE(progId.exists);
    EXPECT_EQ("MERUVIA.MeruviaPro", progId.defaultValue);
    EXPECT_EQ(std::set<std::string>{"CLSID"}, progId.subkeys);
    EXPECT_TRUE(progId.namedValues.empty());

    const KeyContents progIdClsid = Read("MERUVIA.MeruviaPro\\CLSID");
    EXPECT_EQ(kClsidText, progIdClsid.defaultValue);
    EXPECT_TRUE(progIdClsid.subkeys.empty());
    EXPECT_TRUE(progIdClsid.namedValues.empty());

    const KeyContents classKey = Read(kClassKey);
    EXPECT_EQ("MERUVIA.MeruviaPro", classKey.defaultValue);
    EXPECT_EQ((std::set<std::string>{"InProcServer32", "ProgID"}), classKey.subkeys);
    EXPECT_TRUE(classKey.namedValues.empty());

    const KeyContents classProgId = Read(kClassKey + "\\ProgID");
    EXPECT_EQ("MERUVIA.MeruviaPro", classProgId.defaultValue);
    EXPECT_TRUE(classProgId.subkeys.empty());
    EXPECT_TRUE(classProgId.namedValues.empty());

    const KeyContents server = Read(kClassKey + "\\InProcServer32");
    EXPECT_EQ(ShortPath(dll_), server.defaultValue);
    EXPECT_TRUE(server.subkeys.empty());
    EXPECT_TRUE(server.namedValues.empty()) << "no threading model, so the host's apartment serves it";
}

TEST_F(Registration, KeepsExistingDefaultsUnlessTooLongToRead) {
    SetDefault("MERUVIA.MeruviaPro", "Display driver (site name)");
    const std::string tooLong(300, 'x');
    SetDefault(kClassKey, tooLong);
    ASSERT_EQ(0u, RunRegsvr32(dll_));
    EXPECT_EQ("Display driver (site name)", Read("MERUVIA.MeruviaPro").defaultValue);
    EXPECT_EQ(kClsidText, Read("MERUVIA.MeruviaPro\\CLSID").defaultValue);
    EXPECT_EQ("MERUVIA.MeruviaPro", Read(kClassKey).defaultValue) << "a value of 256 bytes or more is written over";
}

TEST_F(Registration, MovedModuleIsRegisteredAtItsNewPath) {
    ASSERT_EQ(0u, RunRegsvr32(dll_));
    SetDefault("MERUVIA.MeruviaPro", "kept");

    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "Meruvia Moved Module Folder";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string moved = folder + "\\MERUVIA.DLL";
    ASSERT_TRUE(CopyFileA(dll_.c_str(), moved.c_str(), FALSE));
    ASSERT_EQ(0u, RunRegsvr32(moved));

    const std::string registered = Read(kClassKey + "\\InProcServer32").defaultValue;
    EXPECT_EQ(ShortPath(moved), registered);
    EXPECT_EQ(std::string::npos, registered.find(' ')) << "the short form: " << registered;
    EXPECT_EQ("kept", Read("MERUVIA.MeruviaPro").defaultValue);
    EXPECT_EQ("MERUVIA.MeruviaPro", Read(kClassKey).defaultValue);
    DeleteFileA(moved.c_str());
    RemoveDirectoryA(folder.c_str());
}

// A volatile key cannot hold the ordinary subkeys registration writes below it, so the
// registry refuses the third write, as it refuses a user without the rights to write.
TEST_F(Registration, RefusedWriteIsReportedToRegsvr32) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, "MERUVIA.MeruviaPro", 0, nullptr,
                                             REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegCloseKey(key);
    EXPECT_NE(0u, RunRegsvr32(dll_)) << "regsvr32 must not report success";
    EXPECT_FALSE(Read("MERUVIA.MeruviaPro\\CLSID").exists);
    EXPECT_FALSE(Read(kClassKey + "\\InProcServer32").exists) << "the pass stopped at the refusal";
    EXPECT_EQ("MERUVIA.MeruviaPro", Read(kClassKey).defaultValue) << "what was written before stays";
}

TEST(VersionResource, MarksTheModuleSelfRegistering) {
    const std::string dll = BesideThisProgram("MERUVIA.DLL");
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(dll.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(dll.c_str(), 0, size, &block[0]));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &len));
    // The version is the project's, set in one place.
    EXPECT_EQ(MAKELONG(MERUVIA_VERSION_MINOR, MERUVIA_VERSION_MAJOR), fixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(MERUVIA_VERSION_TWEAK, MERUVIA_VERSION_PATCH), fixed->dwFileVersionLS);
    const std::string commas = std::to_string(MERUVIA_VERSION_MAJOR) + ", " + std::to_string(MERUVIA_VERSION_MINOR) +
                               ", " + std::to_string(MERUVIA_VERSION_PATCH) + ", " +
                               std::to_string(MERUVIA_VERSION_TWEAK);
    EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);

    struct {
        const char* key;
        const char* value;
    } const strings[] = {
        {"FileDescription", "MERUVIA DLL"},     {"FileVersion", commas.c_str()},
        {"InternalName", "MERUVIA"},            {"OriginalFilename", "MERUVIA.DLL"},
        {"ProductName", "MERUVIA Dynamic Link Library"}, {"ProductVersion", commas.c_str()},
        {"OLESelfRegister", ""},                {"CompanyName", ""},
        {"Comments", ""},                       {"LegalTrademarks", ""},
        {"PrivateBuild", ""},                   {"SpecialBuild", ""},
    };
    for (const auto& s : strings) {
        char* value = nullptr;
        len = 0;
        const std::string path = std::string("\\StringFileInfo\\080404b0\\") + s.key;
        ASSERT_TRUE(VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &len)) << s.key;
        EXPECT_STREQ(s.value, value) << s.key;
    }
}

// A client that knows only the ProgID, through the component runtime.
class ComponentRuntime : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RunRegsvr32(BesideThisProgram("MERUVIA.DLL")); }
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }

    static bool Loaded() { return GetModuleHandleA("MERUVIA.DLL") != nullptr; }
};

TEST_F(ComponentRuntime, CreateByProgIdAndUnloadWhenUnused) {
    CLSID clsid;
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"MERUVIA.MeruviaPro", &clsid));
    EXPECT_TRUE(IsEqualCLSID(CLSID_MeruviaPro, clsid));

    IDriverConfig* config = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDriverConfig,
                                     reinterpret_cast<void**>(&config)));
    TagDef tag{};
    strcpy(tag.szRegister, "N");
    tag.nDataType = 0x0080;
    TagAddress address{};
    EXPECT_EQ(0, config->ParseTagAddress(&tag, &address));
    EXPECT_TRUE(Loaded());

    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_TRUE(Loaded()) << "an object is still alive";
    config->Release();
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_FALSE(Loaded()) << "nothing holds the module any more";
}

TEST_F(ComponentRuntime, ClassObjectHoldsTheModule) {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, CoGetClassObject(CLSID_MeruviaPro, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                     reinterpret_cast<void**>(&factory)));
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_TRUE(Loaded());
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory->Release();
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_TRUE(Loaded()) << "a server lock keeps it";

    ASSERT_EQ(S_OK, CoGetClassObject(CLSID_MeruviaPro, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                     reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    factory->Release();
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_FALSE(Loaded());
}

} // namespace
