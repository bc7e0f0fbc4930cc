#include "module/self_registration.h"

#include <ole2.h>
#include <olectl.h>

#include <cwchar>

#include "driver/module_state.h"
#include "module/factory_list.h"
#include "module/module_seams.h"
#include "module/ole_object_factory.h"

RegistrationApi g_registrationApi = {RegQueryValueA, RegSetValueW, GetModuleFileNameW,
                                     GetShortPathNameW};

namespace {

// Written only where the key has no readable default value of its own.
const RegistryTemplate kKeepExisting[] = {
    {L"%2", L"%5"},
    {L"CLSID\\%1", L"%5"},
};

// Always written.
const RegistryTemplate kReplace[] = {
    {L"%2\\CLSID", L"%1"},
    {L"CLSID\\%1\\ProgID", L"%2"},
    {L"CLSID\\%1\\InProcServer32", L"%3"},
};

// The longest path the system knows, in UTF-16 units with the terminator.
constexpr DWORD kLongestPath = 32768;
constexpr size_t kExpandedMax = kLongestPath + 512;
constexpr LONG kExistingValueBuffer = 256;
constexpr size_t kProgIdMax = 256;

// Storage from the process heap for as long as the owner lives; empty when none was left.
template <class T> class HeapArray {
public:
    explicit HeapArray(size_t count)
        : p_(static_cast<T*>(HeapAlloc(GetProcessHeap(), 0, count * sizeof(T)))) {}
    ~HeapArray() {
        if (p_ != nullptr)
            HeapFree(GetProcessHeap(), 0, p_);
    }
    HeapArray(const HeapArray&) = delete;
    HeapArray& operator=(const HeapArray&) = delete;
    T* get() const { return p_; }

private:
    T* p_;
};

// Replaces every %n (n = 1..9) by symbol n; false when the result would not fit.
bool Expand(const wchar_t* tmpl, const wchar_t* const symbols[kRegistrySymbolCount], wchar_t* out) {
    size_t n = 0;
    for (const wchar_t* p = tmpl; *p != L'\0'; ++p) {
        const wchar_t* piece = p;
        size_t len = 1;
        if (p[0] == L'%' && p[1] >= L'1' && p[1] <= L'9') {
            piece = symbols[p[1] - L'0'] != nullptr ? symbols[p[1] - L'0'] : L"";
            len = wcslen(piece);
            ++p;
        }
        if (n + len >= kExpandedMax)
            return false;
        wmemcpy(out + n, piece, len);
        n += len;
    }
    out[n] = L'\0';
    return true;
}

// Keys are class ids and ProgIDs, which every code page writes alike.
bool HasReadableDefaultValue(const wchar_t* key) {
    char narrowKey[1024];
    if (WideCharToMultiByte(CP_ACP, 0, key, -1, narrowKey, sizeof narrowKey, nullptr, nullptr) == 0)
        return false;
    char existing[kExistingValueBuffer];
    LONG size = kExistingValueBuffer;
    return g_registrationApi.queryValue(HKEY_CLASSES_ROOT, narrowKey, existing, &size) ==
           ERROR_SUCCESS;
}

// The module's own path, read whole, in its short form where the file system gives one.
// False when the system cannot say where the module is.
bool ModulePath(wchar_t* full, wchar_t* path) {
    const DWORD n =
        g_registrationApi.getModuleFileName(AfxGetModuleState()->m_hModule, full, kLongestPath);
    if (n == 0 || n >= kLongestPath)
        return false;
    const DWORD s = g_registrationApi.getShortPathName(full, path, kLongestPath);
    if (s == 0 || s >= kLongestPath)
        wmemcpy(path, full, n + 1);
    return true;
}

// True when all of the record's keys are in place, written now or kept.
bool RegisterFactory(const COleObjectFactory& factory) {
    if (factory.m_pszProgId == nullptr)
        return true;
    wchar_t progId[kProgIdMax];
    if (MultiByteToWideChar(CP_ACP, 0, factory.m_pszProgId, -1, progId, kProgIdMax) == 0)
        return false;
    LPOLESTR classId = nullptr;
    if (FAILED(StringFromCLSID(factory.m_classId, &classId)) || classId == nullptr)
        return false;

    bool done = false;
    HeapArray<wchar_t> full(kLongestPath);
    HeapArray<wchar_t> path(kLongestPath);
    if (full.get() != nullptr && path.get() != nullptr && ModulePath(full.get(), path.get())) {
        const wchar_t* symbols[kRegistrySymbolCount] = {};
        symbols[1] = classId;
        symbols[2] = progId;
        symbols[3] = path.get();
        symbols[5] = progId; // the user type name is the ProgID again

        done = WriteRegistryList(kKeepExisting, sizeof kKeepExisting / sizeof kKeepExisting[0],
                                 symbols, FALSE) &&
               WriteRegistryList(kReplace, sizeof kReplace / sizeof kReplace[0], symbols, TRUE);
    }
    CoTaskMemFree(classId);
    return done;
}

} // namespace

BOOL WriteRegistryList(const RegistryTemplate* list, size_t count,
                       const wchar_t* const symbols[kRegistrySymbolCount], BOOL replace) {
    HeapArray<wchar_t> key(kExpandedMax);
    HeapArray<wchar_t> value(kExpandedMax);
    if (key.get() == nullptr || value.get() == nullptr)
        return FALSE;
    for (size_t i = 0; i < count; ++i) {
        if (!Expand(list[i].key, symbols, key.get()) || !Expand(list[i].value, symbols, value.get()))
            return FALSE;
        if (key.get()[0] == L'\0')
            continue;
        if (!replace && HasReadableDefaultValue(key.get()))
            continue;
        const DWORD bytes = static_cast<DWORD>(wcslen(value.get())) * DWORD{sizeof(wchar_t)};
        if (g_registrationApi.setValue(HKEY_CLASSES_ROOT, key.get(), REG_SZ, value.get(), bytes) !=
            ERROR_SUCCESS)
            return FALSE;
    }
    return TRUE;
}

BOOL UpdateClassRegistry() {
    // Every record is visited, whatever happened to the one before.
    const FactoryListLock lock;
    BOOL all = TRUE;
    for (const COleObjectFactory* f = FirstFactory(lock); f != nullptr; f = f->m_pNext)
        if (!RegisterFactory(*f))
            all = FALSE;
    return all;
}

// A key that could not be written is reported, so that regsvr32 and installers do not
// tell the user the driver is registered when the host cannot find it. Nothing written
// before the failure is taken back.
STDAPI DllRegisterServer() { return UpdateClassRegistry() ? S_OK : SELFREG_E_CLASS; }
