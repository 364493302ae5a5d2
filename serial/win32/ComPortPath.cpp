#include "serial/ComPortPath.h"

#include <windows.h>

#include <set>

#include "platform/win32/WideText.h"
#include "serial/win32/Win32SerialLine.h"

namespace quillon {

namespace {

// The number of "COM7" (any case), or 0 for another name.
int ComNumber(const std::wstring& name) {
    if (name.size() < 4 || name.size() > 6 || _wcsnicmp(name.c_str(), L"COM", 3) != 0) {
        return 0;
    }
    int n = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (name[i] < L'0' || name[i] > L'9') {
            return 0;
        }
        n = n * 10 + (name[i] - L'0');
    }
    return n >= ComPortPath::kFirst && n <= ComPortPath::kLast ? n : 0;
}

// The COM ports the serial drivers publish.
void RegistryPorts(std::set<int>& ports) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                        &key) != ERROR_SUCCESS) {
        return;
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        wchar_t data[64];
        DWORD nameSize = 256;
        DWORD dataSize = sizeof data;
        DWORD type = 0;
        const LONG rc = ::RegEnumValueW(key, i, name, &nameSize, nullptr, &type,
                                        reinterpret_cast<BYTE*>(data), &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (rc == ERROR_SUCCESS && type == REG_SZ) {
            data[std::min<DWORD>(dataSize / sizeof(wchar_t), 63)] = L'\0';
            if (const int n = ComNumber(data)) {
                ports.insert(n);
            }
        }
    }
    ::RegCloseKey(key);
}

// The COM names among the system's device names (virtual ports that no driver lists).
void DosDevicePorts(std::set<int>& ports) {
    std::wstring names(64 * 1024, L'\0');
    for (int tries = 0; tries < 4; ++tries) {
        const DWORD n = ::QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size()));
        if (n != 0) {
            for (const wchar_t* name = names.c_str(); *name != L'\0'; name += wcslen(name) + 1) {
                if (const int number = ComNumber(name)) {
                    ports.insert(number);
                }
            }
            return;
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            return;
        }
        names.resize(names.size() * 4);
    }
}

std::string DeviceName(int n) {
    wchar_t target[512];
    const std::wstring name = L"COM" + std::to_wstring(n);
    return ::QueryDosDeviceW(name.c_str(), target, 512) != 0 ? Utf8Text(target)
                                                             : ComPortPath::Resolve(n);
}

}  // namespace

std::string ComPortPath::Resolve(int n) {
    return DefaultDevice(n);
}

std::string ComPortPath::DefaultDevice(int n) {
    return n >= kFirst && n <= kLast ? "\\\\.\\COM" + std::to_string(n) : std::string();
}

ComPortPath::State ComPortPath::Probe(int n) {
    const std::string path = Resolve(n);
    return path.empty() ? State::Absent : ProbePath(path);
}

ComPortPath::State ComPortPath::ProbePath(const std::string& path) {
    if (Win32SerialLine::HeldByUs(path)) {
        return State::InUse;
    }
    const HANDLE port = ::CreateFileW(WideText(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
                       error == ERROR_BUSY
                   ? State::InUse
                   : State::Absent;
    }
    const bool serial = ::GetFileType(port) == FILE_TYPE_CHAR;
    ::CloseHandle(port);
    return serial ? State::Present : State::Absent;
}

std::vector<ComPortPath::PortInfo> ComPortPath::Enumerate() {
    std::set<int> numbers;
    RegistryPorts(numbers);
    DosDevicePorts(numbers);
    std::vector<PortInfo> ports;
    for (const int n : numbers) {
        const State state = Probe(n);
        if (state == State::Absent) {
            continue;
        }
        PortInfo info;
        info.number = n;
        info.path = Resolve(n);
        info.devicePath = DeviceName(n);
        info.inUse = state == State::InUse;
        ports.push_back(info);
    }
    return ports;
}

}  // namespace quillon
