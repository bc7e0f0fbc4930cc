#include "port_list.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>

namespace {

enum class PortState { Free, Busy, Absent };

// Whether COMn is there: it opens, or another program holds it.
PortState ProbePort(int n) {
    const std::wstring path = L"\\\\.\\COM" + std::to_wstring(n);
    HANDLE port = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port != INVALID_HANDLE_VALUE) {
        CloseHandle(port);
        return PortState::Free;
    }
    const DWORD error = GetLastError();
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? PortState::Busy : PortState::Absent;
}

} // namespace

std::vector<std::string> SerialPortsOnThisPc(const char* inUseMark) {
    constexpr int kHighestPort = 256;
    std::vector<int> numbers;
    std::vector<wchar_t> names(65536);
    const DWORD n = QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size()));
    for (const wchar_t* p = names.data(); p < names.data() + n && *p != L'\0'; p += wcslen(p) + 1) {
        if (_wcsnicmp(p, L"COM", 3) != 0 || p[3] == L'\0')
            continue;
        const wchar_t* digits = p + 3;
        if (std::all_of(digits, digits + wcslen(digits), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
            numbers.push_back(_wtoi(digits));
    }
    std::sort(numbers.begin(), numbers.end());
    std::vector<std::string> ports;
    for (int k = 1; k <= kHighestPort; ++k) {
        const PortState state = ProbePort(k);
        if (state == PortState::Absent && !std::binary_search(numbers.begin(), numbers.end(), k))
            continue;
        ports.push_back("COM" + std::to_string(k) + (state == PortState::Busy ? inUseMark : ""));
    }
    return ports;
}

