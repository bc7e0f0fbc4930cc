#include "file_version.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace {

// VERSION.dll is not one of the DLLs Windows always takes from the system folder, so it
// is loaded from there by its full path: a VERSION.dll put beside the tool is never used.
class VersionLibrary {
public:
    VersionLibrary() {
        wchar_t path[MAX_PATH + 16];
        const UINT n = GetSystemDirectoryW(path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            return;
        wcscpy(path + n, L"\\version.dll");
        module_ = LoadLibraryW(path);
        if (module_ == nullptr)
            return;
        sizeOf_ = Find<SizeFn>("GetFileVersionInfoSizeW");
        infoOf_ = Find<InfoFn>("GetFileVersionInfoW");
        query_ = Find<QueryFn>("VerQueryValueW");
    }
    ~VersionLibrary() {
        if (module_ != nullptr)
            FreeLibrary(module_);
    }
    VersionLibrary(const VersionLibrary&) = delete;
    VersionLibrary& operator=(const VersionLibrary&) = delete;

    std::string VersionOf(const std::wstring& path) const {
        if (sizeOf_ == nullptr || infoOf_ == nullptr || query_ == nullptr)
            return std::string();
        DWORD handle = 0;
        const DWORD size = sizeOf_(path.c_str(), &handle);
        if (size == 0)
            return std::string();
        std::vector<char> block(size);
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT len = 0;
        if (!infoOf_(path.c_str(), 0, size, block.data()) ||
            !query_(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) || fixed == nullptr)
            return std::string();
        char text[64];
        snprintf(text, sizeof text, "%d.%d.%d.%d", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                 HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
        return text;
    }

private:
    using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

    template <class Fn> Fn Find(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

    HMODULE module_ = nullptr;
    SizeFn sizeOf_ = nullptr;
    InfoFn infoOf_ = nullptr;
    QueryFn query_ = nullptr;
};

} // namespace

std::string FileVersion(const std::wstring& path) { return VersionLibrary().VersionOf(path); }
