#include "registration.h"

#include <windows.h>

#include "tool_console.h"
#include "windows_text.h"
#include "exit_codes.h"
#include "host/host_interfaces.h"
#include "registration_seams.h"


bool RegisterDll(const std::string& dllUtf8, const ToolTexts& t) {
    HMODULE module = LoadLibraryW(Wide(dllUtf8).c_str());
    if (module == nullptr) {
        Complain(t.cannotLoad, dllUtf8.c_str(), SystemMessage(GetLastError(), t).c_str());
        return false;
    }
    using RegisterFn = HRESULT(STDAPICALLTYPE*)();
    auto reg = reinterpret_cast<RegisterFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
    bool ok = false;
    if (reg == nullptr) {
        Complain(t.notSelfRegistering, dllUtf8.c_str());
    } else if (const HRESULT hr = reg(); FAILED(hr)) {
        Complain(t.registerFailed, dllUtf8.c_str(), SystemMessage(static_cast<DWORD>(hr), t).c_str());
    } else {
        Print(stdout, t.registered, dllUtf8.c_str());
        Print(stdout, "\n");
        ok = true;
    }
    FreeLibrary(module);
    return ok;
}

bool ReadClassesValue(const std::wstring& key, std::wstring& value) {
    HKEY h;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS)
        return false;
    wchar_t data[32768];
    DWORD size = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    const LONG rc = RegQueryValueExW(h, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    data[size / sizeof(wchar_t)] = L'\0';
    value = data;
    return true;
}

bool ClassIn64BitView() {
    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64)
        return false;
    HKEY h;
    const std::wstring key = std::wstring(L"Software\\Classes\\CLSID\\") + kMeruviaClassIdTextW;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

LONG(WINAPI* g_pfnRegDeleteKeyW)(HKEY, LPCWSTR) = RegDeleteKeyW;

namespace {

enum class Removal { Removed, Absent, Kept, Refused };

// Deletes a key that has no subkeys of its own; one that has is someone else's too.
Removal RemoveLeafKey(const std::wstring& key, const ToolTexts& t) {
    HKEY h;
    LONG rc = RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h);
    if (rc == ERROR_FILE_NOT_FOUND)
        return Removal::Absent;
    if (rc == ERROR_SUCCESS) {
        DWORD subkeys = 0;
        rc = RegQueryInfoKeyW(h, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                              nullptr, nullptr, nullptr);
        RegCloseKey(h);
        if (rc == ERROR_SUCCESS && subkeys > 0)
            return Removal::Kept;
        rc = g_pfnRegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
    }
    if (rc == ERROR_SUCCESS)
        return Removal::Removed;
    if (rc == ERROR_FILE_NOT_FOUND)
        return Removal::Absent;
    Complain(t.cannotRemove, Utf8(key.c_str()).c_str(), SystemMessage(static_cast<DWORD>(rc), t).c_str());
    return Removal::Refused;
}

// Whether a key's default value, if it has one, is what registration writes there.
bool PointsAt(const std::wstring& key, const wchar_t* expected, const ToolTexts& t) {
    std::wstring value;
    if (!ReadClassesValue(key, value) || _wcsicmp(value.c_str(), expected) == 0)
        return true;
    Complain(t.notOurs, Utf8(key.c_str()).c_str(), Utf8(value.c_str()).c_str());
    return false;
}

// The file's volume and index, which every name of it shares (short, long, another drive
// letter for the same folder); false when it cannot be opened.
bool FileIdentity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE h = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = GetFileInformationByHandle(h, &info) != FALSE;
    CloseHandle(h);
    return ok;
}

// A path as one text for every way of writing it: full, with its folder in long names.
std::wstring ComparablePath(const std::wstring& path) {
    wchar_t full[32768];
    const DWORD n = GetFullPathNameW(path.c_str(), 32768, full, nullptr);
    if (n == 0 || n >= 32768)
        return path;
    std::wstring text(full, n);
    const size_t slash = text.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return text;
    wchar_t folder[32768];
    const DWORD m = GetLongPathNameW(text.substr(0, slash).c_str(), folder, 32768);
    if (m == 0 || m >= 32768)
        return text;
    return std::wstring(folder, m) + text.substr(slash);
}

} // namespace

bool SameFile(const std::wstring& a, const std::wstring& b) {
    BY_HANDLE_FILE_INFORMATION x{}, y{};
    if (FileIdentity(a, x) && FileIdentity(b, y))
        return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
               x.nFileIndexLow == y.nFileIndexLow;
    // A file that is gone is known by its name only.
    return _wcsicmp(ComparablePath(a).c_str(), ComparablePath(b).c_str()) == 0;
}

int UnregisterDriver(const std::string& ownDllUtf8, const ToolTexts& t) {
    const std::wstring progId = kMeruviaProgIdW;
    const std::wstring classKey = std::wstring(L"CLSID\\") + kMeruviaClassIdTextW;
    // A registration of another copy of the driver is that copy's: removing it would stop it.
    std::wstring server;
    if (ReadClassesValue(classKey + L"\\InProcServer32", server) && !server.empty() &&
        !SameFile(server, Wide(ownDllUtf8))) {
        Complain(t.otherCopy, LongPathShown(server).c_str(), ownDllUtf8.c_str());
        return kOk;
    }
    // Children before parents, and each side only where it points at the other.
    std::wstring keys[5];
    int count = 0;
    if (PointsAt(progId + L"\\CLSID", kMeruviaClassIdTextW, t)) {
        keys[count++] = progId + L"\\CLSID";
        keys[count++] = progId;
    }
    if (PointsAt(classKey + L"\\ProgID", kMeruviaProgIdW, t)) {
        keys[count++] = classKey + L"\\ProgID";
        keys[count++] = classKey + L"\\InProcServer32";
        keys[count++] = classKey;
    }
    int removed = 0;
    bool refused = false;
    for (int i = 0; i < count; ++i) {
        switch (RemoveLeafKey(keys[i], t)) {
        case Removal::Removed: ++removed; break;
        case Removal::Refused: refused = true; break;
        case Removal::Absent:
        case Removal::Kept: break;
        }
    }
    if (removed > 0)
        Print(stdout, t.unregistered, removed);
    else if (!refused)
        Print(stdout, "%s", t.nothingToRemove);
    Print(stdout, "\n");
    return refused ? kNoDriver : kOk;
}
