// Stands in for Windows' icacls.exe where Wine keeps no access lists on files: appends its
// command line to the file MERUVIA_ICACLS_LOG names and exits with MERUVIA_ICACLS_STATUS
// (0 when unset), so a test sees which rights the installer asks for and what it does when
// they cannot be set.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main() {
    wchar_t log[MAX_PATH];
    if (GetEnvironmentVariableW(L"MERUVIA_ICACLS_LOG", log, MAX_PATH) - 1u < MAX_PATH - 1u) {
        FILE* f = _wfopen(log, L"ab");
        if (f != nullptr) {
            const wchar_t* line = GetCommandLineW();
            fwrite(line, sizeof(wchar_t), wcslen(line), f);
            fwrite(L"\n", sizeof(wchar_t), 1, f);
            fclose(f);
        }
    }
    char status[16];
    if (GetEnvironmentVariableA("MERUVIA_ICACLS_STATUS", status, sizeof status) - 1u < sizeof status - 1u)
        return atoi(status);
    return 0;
}
