#include "tests/serial/support/TempComDir.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace quillon::test {

TempComDir::TempComDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillon-com-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    dir_ = pattern;
    if (const char* old = std::getenv("QUILLON_COM_DIR")) {
        hadPrevious_ = true;
        previous_ = old;
    }
    ::setenv("QUILLON_COM_DIR", dir_.c_str(), 1);
}

TempComDir::~TempComDir() {
    if (hadPrevious_) {
        ::setenv("QUILLON_COM_DIR", previous_.c_str(), 1);
    } else {
        ::unsetenv("QUILLON_COM_DIR");
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

std::string TempComDir::EntryPath(int n) const {
    return dir_ + "/com" + std::to_string(n);
}

void TempComDir::Link(int n, const std::string& target) {
    Unlink(n);
    if (::symlink(target.c_str(), EntryPath(n).c_str()) != 0) {
        throw std::runtime_error("symlink failed");
    }
}

void TempComDir::Unlink(int n) {
    ::unlink(EntryPath(n).c_str());
}

}  // namespace quillon::test
