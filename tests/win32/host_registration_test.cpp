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
#include "texts.h"

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

// The five keys, as registration writes them.
void Register() {
    SetDefault(kProgId, kProgId);
    SetDefault(kProgId + L"\\CLSID", kMeruviaClassIdTextW);
    SetDefault(kClassKey, kProgId);
    SetDefault(kClassKey + L"\\ProgID", kProgId);
    SetDefault(kClassKey + L"\\InProcServer32", L"C:\\MERUVIA.DLL");
}

std::wstring g_locked;

LONG WINAPI DeleteUnlessLocked(HKEY parent, LPCWSTR key) {
    return g_locked == key ? ERROR_ACCESS_DENIED : RegDeleteKeyW(parent, key);
}

class Unregister : public ::testing::Test {
protected:
    void SetUp() override { Register(); }
    void TearDown() override {
        for (const std::wstring& key : {kClassKey + L"\\InProcServer32", kClassKey + L"\\ProgID", kClassKey,
                                        kProgId + L"\\CLSID", kProgId})
            RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
    }
};

TEST_F(Unregister, RemovesTheFiveKeys) {
    EXPECT_EQ(0, UnregisterDriver(kEnglishTexts));
    EXPECT_FALSE(Exists(kProgId));
    EXPECT_FALSE(Exists(kClassKey));
}

TEST_F(Unregister, KeyThatCannotBeRemovedIsAFailure) {
    g_locked = kClassKey + L"\\InProcServer32";
    {
        const SeamOverride<LONG(WINAPI*)(HKEY, LPCWSTR)> lock(g_pfnRegDeleteKeyW, DeleteUnlessLocked);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(3, UnregisterDriver(kEnglishTexts)) << "not all of the driver's keys are gone";
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(std::string::npos, said.find("cannot remove CLSID\\")) << said;
    }
    EXPECT_TRUE(Exists(g_locked));
    EXPECT_TRUE(Exists(kClassKey)) << "the key above it holds it, so it stays too";
    EXPECT_FALSE(Exists(kProgId)) << "the others are removed";
    EXPECT_FALSE(Exists(kClassKey + L"\\ProgID"));

    EXPECT_EQ(0, UnregisterDriver(kEnglishTexts)) << "once nothing refuses, the rest goes";
    EXPECT_FALSE(Exists(kClassKey));
}

} // namespace
