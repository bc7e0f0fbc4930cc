// Holds a file open with no sharing, as a program that has it in use does (the host with
// the driver loaded keeps Windows from writing it), until its input closes.
//     hold_file PATH     prints "held" once the file is held
#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: hold_file PATH\n");
        return 2;
    }
    const HANDLE file = CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "hold_file: cannot open: error %lu\n", GetLastError());
        return 1;
    }
    printf("held\n");
    fflush(stdout);
    char line[64];
    while (fgets(line, sizeof line, stdin) != nullptr) {
    }
    CloseHandle(file);
    return 0;
}
