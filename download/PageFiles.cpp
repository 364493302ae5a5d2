#include "download/PageFiles.h"

namespace quillon {

namespace {

std::filesystem::path PagePath(const std::filesystem::path& folder, int page) {
    return folder / ("Page" + std::to_string(page));
}

}  // namespace

PageFiles::~PageFiles() {
    RemoveAll();
}

void PageFiles::RemoveAll() {
    for (int page = 0; page < kPageCount; ++page) {
        std::FILE*& file = files_[static_cast<size_t>(page)];
        if (file != nullptr) {
            std::fclose(file);
            file = nullptr;
            std::error_code ignored;
            std::filesystem::remove(PagePath(folder_, page), ignored);
        }
        used_[static_cast<size_t>(page)] = false;
    }
}

bool PageFiles::Create(const std::vector<std::filesystem::path>& folders) {
    for (const std::filesystem::path& folder : folders) {
        RemoveAll();
        folder_ = folder;
        bool all = true;
        for (int page = 0; page < kPageCount && all; ++page) {
            // "x": never take over a file that is already there.
            files_[static_cast<size_t>(page)] =
                std::fopen(PagePath(folder, page).string().c_str(), "w+bx");
            all = files_[static_cast<size_t>(page)] != nullptr;
        }
        if (all) {
            return true;
        }
    }
    RemoveAll();
    return false;
}

bool PageFiles::Write(int page, uint64_t offset, const uint8_t* bytes, size_t count) {
    std::FILE* file = files_[static_cast<size_t>(page)];
    if (file == nullptr || offset > kMaxPageBytes) {
        return false;
    }
    used_[static_cast<size_t>(page)] = true;
    if (std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0) {
        return false;
    }
    return count == 0 || std::fwrite(bytes, 1, count, file) == count;
}

bool PageFiles::Flush() {
    bool all = true;
    for (std::FILE* file : files_) {
        all = (file == nullptr || std::fflush(file) == 0) && all;
    }
    return all;
}

int PageFiles::UsedCount() const {
    int n = 0;
    for (bool used : used_) {
        n += used ? 1 : 0;
    }
    return n;
}

int64_t PageFiles::Size(int page) {
    std::FILE* file = files_[static_cast<size_t>(page)];
    if (file == nullptr || std::fflush(file) != 0 || std::fseek(file, 0, SEEK_END) != 0) {
        return -1;
    }
    return std::ftell(file);
}

bool PageFiles::Rewind(int page) {
    std::FILE* file = files_[static_cast<size_t>(page)];
    return file != nullptr && std::fseek(file, 0, SEEK_SET) == 0;
}

size_t PageFiles::Read(int page, uint8_t* bytes, size_t count) {
    std::FILE* file = files_[static_cast<size_t>(page)];
    return file == nullptr ? 0 : std::fread(bytes, 1, count, file);
}

}  // namespace quillon
