// Says which registry keys exist, one line each ("yes KEY" or "no KEY"), in the registry
// view a 32-bit program sees, or in the 64-bit one with /reg:64. One program start for many
// keys: under emulation a start costs seconds.
//     registry_probe [/reg:64] HKCR\KEY|HKLM\KEY ...
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    REGSAM view = 0;
    for (int i = 1; i < argc; ++i) {
        if (wcscmp(argv[i], L"/reg:64") == 0) {
            view = KEY_WOW64_64KEY;
            continue;
        }
        HKEY root = nullptr;
        const wchar_t* path = argv[i];
        if (wcsncmp(path, L"HKCR\\", 5) == 0) {
            root = HKEY_CLASSES_ROOT;
            path += 5;
        } else if (wcsncmp(path, L"HKLM\\", 5) == 0) {
            root = HKEY_LOCAL_MACHINE;
            path += 5;
        } else {
            fwprintf(stderr, L"registry_probe: %ls: give HKCR\\ or HKLM\\\n", argv[i]);
            return 2;
        }
        HKEY key;
        const bool present = RegOpenKeyExW(root, path, 0, KEY_READ | view, &key) == ERROR_SUCCESS;
        if (present)
            RegCloseKey(key);
        wprintf(L"%ls %ls\n", present ? L"yes" : L"no", argv[i]);
    }
    return 0;
}
