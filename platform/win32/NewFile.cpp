#include "platform/NewFile.h"

#include <windows.h>

#include "platform/win32/WideText.h"

namespace quillon {

namespace {

HANDLE AsHandle(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

NewFile::~NewFile() {
    if (handle_ != -1) {
        Discard();
    }
}

void NewFile::Fail() {
    failed_ = true;
    error_ = Win32ErrorText(::GetLastError());
}

NewFile::Result NewFile::Create(const std::string& path, bool privateFile) {
    // A private file is kept from other programs while it is written; its folder (under the
    // user's own profile) keeps it from other users.
    (void)privateFile;
    path_.clear();  // never the path of a file that was there before
    failed_ = false;
    const HANDLE file = ::CreateFileW(WideText(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        Fail();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? Result::Exists
                                                                           : Result::Failed;
    }
    handle_ = reinterpret_cast<intptr_t>(file);
    path_ = path;
    return Result::Created;
}

bool NewFile::CreateBeside(const std::string& target, uint32_t mode) {
    (void)mode;  // Windows files carry no permission bits of their own
    for (unsigned n = ::GetTickCount() & 0xFFFF, tries = 0; tries < 100; ++n, ++tries) {
        const Result result = Create(target + ".tmp" + std::to_string(n), false);
        if (result != Result::Exists) {
            return result == Result::Created;
        }
    }
    return false;
}

bool NewFile::Write(const void* data, std::size_t size) {
    if (handle_ == -1 || failed_) {
        return false;
    }
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(AsHandle(handle_), next, chunk, &written, nullptr) || written == 0) {
            Fail();
            return false;
        }
        next += written;
        size -= written;
    }
    return true;
}

bool NewFile::Finish(bool sync) {
    if (handle_ == -1) {
        return false;
    }
    const HANDLE file = AsHandle(handle_);
    handle_ = -1;
    if (sync && !failed_ && !::FlushFileBuffers(file)) {
        Fail();
    }
    if (!::CloseHandle(file) && !failed_) {
        Fail();
    }
    return !failed_;
}

void NewFile::Discard() {
    if (handle_ != -1) {
        ::CloseHandle(AsHandle(handle_));
        handle_ = -1;
    }
    if (!path_.empty()) {
        ::DeleteFileW(WideText(path_).c_str());
    }
}

}  // namespace quillon
