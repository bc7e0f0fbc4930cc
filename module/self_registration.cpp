#include "module/self_registration.h"

#include <ole2.h>

#include <cstring>

#include "module/module_state.h"
#include "module/ole_object_factory.h"

RegistrationApi g_registrationApi = {RegQueryValueA, RegSetValueA, GetShortPathNameA};

namespace {

// Written only where the key has no readable default value of its own.
const RegistryTemplate kKeepExisting[] = {
    {"%2", "%5"},
    {"CLSID\\%1", "%5"},
};

// Always written.
const RegistryTemplate kReplace[] = {
    {"%2\\CLSID", "%1"},
    {"CLSID\\%1\\ProgID", "%2"},
    {"CLSID\\%1\\InProcServer32", "%3"},
};

constexpr size_t kExpandedMax = 1024;
constexpr LONG kExistingValueBuffer = 256;

// Replaces every %n (n = 1..9) by symbol n; false when the result would not fit.
bool Expand(const char* tmpl, const char* const symbols[kRegistrySymbolCount], char* out) {
    size_t n = 0;
    for (const char* p = tmpl; *p != '\0'; ++p) {
        const char* piece = p;
        size_t len = 1;
        if (p[0] == '%' && p[1] >= '1' && p[1] <= '9') {
            piece = symbols[p[1] - '0'] != nullptr ? symbols[p[1] - '0'] : "";
            len = strlen(piece);
            ++p;
        }
        if (n + len >= kExpandedMax)
            return false;
        memcpy(out + n, piece, len);
        n += len;
    }
    out[n] = '\0';
    return true;
}

bool HasReadableDefaultValue(const char* key) {
    char existing[kExistingValueBuffer];
    LONG size = kExistingValueBuffer;
    return g_registrationApi.queryValue(HKEY_CLASSES_ROOT, key, existing, &size) == ERROR_SUCCESS;
}

// The class identifier in the registry's text form, as 8-bit text of the active code page,
// in storage from CoTaskMemAlloc; null when it cannot be made.
char* ClassIdText(REFCLSID clsid) {
    LPOLESTR wide = nullptr;
    if (FAILED(StringFromCLSID(clsid, &wide)) || wide == nullptr)
        return nullptr;
    char* text = nullptr;
    const int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size > 1) {
        text = static_cast<char*>(CoTaskMemAlloc(static_cast<SIZE_T>(size)));
        if (text != nullptr &&
            WideCharToMultiByte(CP_ACP, 0, wide, -1, text, size, nullptr, nullptr) != size) {
            CoTaskMemFree(text);
            text = nullptr;
        }
    }
    CoTaskMemFree(wide);
    return text;
}

// The module's own path, in its short form where the file system gives one.
void ModulePath(char (&path)[MAX_PATH]) {
    char full[MAX_PATH] = {};
    GetModuleFileNameA(AfxGetModuleState()->m_hModule, full, MAX_PATH);
    const DWORD n = g_registrationApi.getShortPathName(full, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        memcpy(path, full, MAX_PATH);
}

void RegisterFactory(const COleObjectFactory& factory) {
    if (factory.m_pszProgId == nullptr)
        return;
    char* classId = ClassIdText(factory.m_classId);
    if (classId == nullptr)
        return;
    char path[MAX_PATH];
    ModulePath(path);

    const char* symbols[kRegistrySymbolCount] = {};
    symbols[1] = classId;
    symbols[2] = factory.m_pszProgId;
    symbols[3] = path;
    symbols[5] = factory.m_pszProgId; // the user type name is the ProgID again

    if (WriteRegistryList(kKeepExisting, sizeof kKeepExisting / sizeof kKeepExisting[0], symbols,
                          FALSE))
        WriteRegistryList(kReplace, sizeof kReplace / sizeof kReplace[0], symbols, TRUE);
    CoTaskMemFree(classId);
}

} // namespace

BOOL WriteRegistryList(const RegistryTemplate* list, size_t count,
                       const char* const symbols[kRegistrySymbolCount], BOOL replace) {
    for (size_t i = 0; i < count; ++i) {
        char key[kExpandedMax];
        char value[kExpandedMax];
        if (!Expand(list[i].key, symbols, key) || !Expand(list[i].value, symbols, value))
            return FALSE;
        if (key[0] == '\0')
            continue;
        if (!replace && HasReadableDefaultValue(key))
            continue;
        if (g_registrationApi.setValue(HKEY_CLASSES_ROOT, key, REG_SZ, value,
                                       static_cast<DWORD>(strlen(value))) != ERROR_SUCCESS)
            return FALSE;
    }
    return TRUE;
}

void UpdateClassRegistry() {
    FactoryListLock lock;
    for (const COleObjectFactory* f = AfxGetModuleState()->m_pFirstFactory; f != nullptr;
         f = f->m_pNext)
        RegisterFactory(*f);
}

STDAPI DllRegisterServer() {
    UpdateClassRegistry();
    return S_OK;
}
