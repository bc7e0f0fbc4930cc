// meruvia-host's removal of the driver's registration, in-process against the real
// registry. Wine does not apply a key's access list, so the key Windows would refuse to
// remove (a user without the right, a key locked by policy) is refused through the seam.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "host/host_interfaces.h"
#include "registration.h"
#include "registration_seams.h"
#include "seam_override.h"
#include "tool_texts.h"

namespace {

const std::wstring kProgId = kMeruviaProgIdW;
const std::wstring kClassKey = std::wstring(L"CLSID\\") + kMeruviaClassIdTextW;

bool Exists(const std::wstring& key) {
    HKEY h;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

void SetDefault(const std::wstring& key, const std::wstring& value) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueW(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, value.c_str(),
                                          static_cast<DWORD>(value.size() * sizeof(wchar_t))));
}

// The five keys, as registration writes them, for the DLL at server.
void Register(const std::wstring& server = L"C:\\MERUVIA.DLL") {
    SetDefault(kProgId, kProgId);
    SetDefault(kProgId + L"\\CLSID", kMeruviaClassIdTextW);
    SetDefault(kClassKey, kProgId);
    SetDefault(kClassKey + L"\\ProgID", kProgId);
    SetDefault(kClassKey + L"\\InProcServer32", server);
}

std::wstring g_locked;

LONG WINAPI DeleteUnlessLocked(HKEY parent, LPCWSTR key) {
    return g_locked == key ? ERROR_ACCESS_DENIED : RegDeleteKeyW(parent, key);
}

class Unregister : public ::testing::Test {
protected:
    void SetUp() override { Register(); }
    void TearDown() override { TearDownKeys(); }
    static void TearDownKeys() {
        for (const std::wstring& key : {kClassKey + L"\\InProcServer32", kClassKey + L"\\ProgID", kClassKey,
                                        kProgId + L"\\CLSID", kProgId})
            RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
    }
};

TEST_F(Unregister, RemovesTheFiveKeys) {
    EXPECT_EQ(0, UnregisterDriver("C:\\MERUVIA.DLL", kEnglishTexts));
    EXPECT_FALSE(Exists(kProgId));
    EXPECT_FALSE(Exists(kClassKey));
}

TEST_F(Unregister, KeyThatCannotBeRemovedIsAFailure) {
    g_locked = kClassKey + L"\\InProcServer32";
    {
        const SeamOverride<LONG(WINAPI*)(HKEY, LPCWSTR)> lock(g_pfnRegDeleteKeyW, DeleteUnlessLocked);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(3, UnregisterDriver("C:\\MERUVIA.DLL", kEnglishTexts)) << "not all of the driver's keys are gone";
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(std::string::npos, said.find("cannot remove CLSID\\")) << said;
    }
    EXPECT_TRUE(Exists(g_locked));
    EXPECT_TRUE(Exists(kClassKey)) << "the key above it holds it, so it stays too";
    EXPECT_FALSE(Exists(kProgId)) << "the others are removed";
    EXPECT_FALSE(Exists(kClassKey + L"\\ProgID"));

    EXPECT_EQ(0, UnregisterDriver("C:\\MERUVIA.DLL", kEnglishTexts)) << "once nothing refuses, the rest goes";
    EXPECT_FALSE(Exists(kClassKey));
}

// Two copies of the driver, in folders with long names; the registry names the registered
// one by its short path, as registration writes it.
class UnregisterCopies : public Unregister {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        ASSERT_NE(0u, GetTempPathW(MAX_PATH, temp));
        root_ = std::wstring(temp) + L"meruvia unregister copies " + std::to_wstring(GetCurrentProcessId());
        for (const std::wstring& folder : {root_, root_ + L"\\Program Files Copy", root_ + L"\\Other Copy"})
            ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        ours_ = root_ + L"\\Program Files Copy\\MERUVIA.DLL";
        other_ = root_ + L"\\Other Copy\\MERUVIA.DLL";
        for (const std::wstring& file : {ours_, other_}) {
            const HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, h);
            CloseHandle(h);
        }
    }
    void TearDown() override {
        Unregister::TearDown();
        DeleteFileW(ours_.c_str());
        DeleteFileW(other_.c_str());
        RemoveDirectoryW((root_ + L"\\Program Files Copy").c_str());
        RemoveDirectoryW((root_ + L"\\Other Copy").c_str());
        RemoveDirectoryW(root_.c_str());
    }
    static std::wstring Short(const std::wstring& path) {
        wchar_t s[MAX_PATH];
        const DWORD n = GetShortPathNameW(path.c_str(), s, MAX_PATH);
        return n > 0 && n < MAX_PATH ? std::wstring(s, n) : path;
    }
    static std::string Narrow(const std::wstring& w) {
        return std::string(w.begin(), w.end()); // the folders' names are ASCII
    }
    std::wstring root_, ours_, other_;
};

TEST_F(UnregisterCopies, RemovesOnlyItsOwnCopysRegistration) {
    struct Case {
        const char* what;
        bool registerOurs; // else the other copy is registered
        bool shortName;
        bool deleteRegistered;
        bool removed;
    };
    const Case cases[] = {
        {"our copy by its short name", true, true, false, true},
        {"our copy by its long name", true, false, false, true},
        {"another copy", false, true, false, false},
        {"another copy by its long name", false, false, false, false},
        {"our copy, its file deleted", true, false, true, true},
        {"another copy, its file deleted", false, false, true, false},
    };
    for (const Case& c : cases) {
        const std::wstring registered = c.registerOurs ? ours_ : other_;
        Register(c.shortName ? Short(registered) : registered);
        if (c.deleteRegistered) {
            ASSERT_TRUE(MoveFileW(registered.c_str(), (registered + L".away").c_str())) << c.what;
        }
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(0, UnregisterDriver(Narrow(ours_), kEnglishTexts)) << c.what;
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(!c.removed, Exists(kClassKey + L"\\InProcServer32")) << c.what;
        EXPECT_EQ(!c.removed, Exists(kProgId)) << c.what << ": the ProgID goes with the class";
        EXPECT_EQ(!c.removed, said.find("another copy's") != std::string::npos) << c.what << ": " << said;
        if (c.deleteRegistered) {
            ASSERT_TRUE(MoveFileW((registered + L".away").c_str(), registered.c_str())) << c.what;
        }
        TearDownKeys();
    }
}

} // namespace
