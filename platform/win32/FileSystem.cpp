#include "platform/FileSystem.h"

#include <windows.h>

#include <cerrno>
#include <cstring>

#include "platform/win32/WideText.h"

namespace quillon {

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

DWORD Attributes(const std::string& path) {
    return ::GetFileAttributesW(WideText(path).c_str());
}

bool IsFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

std::string FileSystem::LastErrorText() {
    return Win32ErrorText(::GetLastError());
}

bool FileSystem::MakeFolders(const std::string& folder, std::string& error) {
    // Every prefix that ends before a separator, after the drive ("C:\") or share root.
    for (std::size_t i = 1; i <= folder.size(); ++i) {
        if (i < folder.size() && !IsSeparator(folder[i])) {
            continue;
        }
        const std::string part = folder.substr(0, i);
        if (part.size() <= 2 || part.back() == ':' || IsFolder(Attributes(part))) {
            continue;
        }
        if (!::CreateDirectoryW(WideText(part).c_str(), nullptr) &&
            ::GetLastError() != ERROR_ALREADY_EXISTS) {
            error = "cannot create " + part + ": " + LastErrorText();
            return false;
        }
    }
    if (!IsFolder(Attributes(folder))) {
        error = folder + " is not a folder";
        return false;
    }
    return true;
}

bool FileSystem::Exists(const std::string& path) {
    return Attributes(path) != INVALID_FILE_ATTRIBUTES;
}

bool FileSystem::IsRegularFile(const std::string& path, uint64_t* size) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(WideText(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    if (size != nullptr) {
        *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    return true;
}

void FileSystem::Remove(const std::string& path) {
    ::DeleteFileW(WideText(path).c_str());
}

bool FileSystem::Replace(const std::string& from, const std::string& to, std::string& error) {
    if (!::MoveFileExW(WideText(from).c_str(), WideText(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = LastErrorText();
        return false;
    }
    return true;
}

bool FileSystem::ReplacementTarget(const std::string& path, std::string& target, uint32_t& mode,
                                   std::string& error) {
    target = path;
    mode = 0666;
    if (IsFolder(Attributes(path))) {
        error = "cannot write " + path +
                ": it is a folder; a codeplug is written only to a "
                "regular file";
        return false;
    }
    return true;
}

FileSystem::ReadResult FileSystem::ReadRegularFile(const std::string& path, std::size_t limit,
                                                   std::vector<uint8_t>& bytes,
                                                   std::string& detail) {
    if (IsFolder(Attributes(path))) {
        detail = "a folder";
        return ReadResult::NotRegular;
    }
    const HANDLE file =
        ::CreateFileW(WideText(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        detail = LastErrorText();
        return ReadResult::CannotOpen;
    }
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        ::CloseHandle(file);
        detail = "a device";
        return ReadResult::NotRegular;
    }
    bytes.resize(limit);
    std::size_t got = 0;
    while (got < bytes.size()) {
        const std::size_t left = bytes.size() - got;
        DWORD n = 0;
        if (!::ReadFile(file, bytes.data() + got, left > 0x10000000 ? 0x10000000 : DWORD(left), &n,
                        nullptr)) {
            detail = LastErrorText();
            ::CloseHandle(file);
            return ReadResult::CannotRead;
        }
        if (n == 0) {
            break;
        }
        got += n;
    }
    ::CloseHandle(file);
    bytes.resize(got);
    return ReadResult::Ok;
}

std::string FileSystem::MakeUniqueFolder(const std::string& stem) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    uint64_t seed = ::GetTickCount64() ^ (static_cast<uint64_t>(::GetCurrentProcessId()) << 20);
    for (int tries = 0; tries < 100; ++tries) {
        std::string name = stem + "-";
        for (int i = 0; i < 6; ++i) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            name += kLetters[(seed >> 33) % (sizeof kLetters - 1)];
        }
        if (::CreateDirectoryW(WideText(name).c_str(), nullptr)) {
            return name;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS) {
            return {};
        }
    }
    return {};
}

bool FileSystem::Append(const std::string& path, const std::string& bytes, std::string& error) {
    // With only FILE_APPEND_DATA every write goes to the end of the file as it is then.
    const HANDLE file = ::CreateFileW(WideText(path).c_str(), FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = LastErrorText();
        return false;
    }
    DWORD written = 0;
    const BOOL ok =
        ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    const std::string writeError = ok ? std::string() : LastErrorText();
    const bool closed = ::CloseHandle(file) != 0;
    if (!ok || written != bytes.size()) {
        error = !ok ? writeError : "the write was cut short (disk full?)";
        return false;
    }
    if (!closed) {
        error = LastErrorText();
        return false;
    }
    return true;
}

std::FILE* FileSystem::OpenForAppending(const std::string& path, std::string& error) {
    // Binary, so that lines end as on every other system.
    std::FILE* file = ::_wfopen(WideText(path).c_str(), L"ab");
    if (file == nullptr) {
        error = std::strerror(errno);
    }
    return file;
}

}  // namespace quillon
