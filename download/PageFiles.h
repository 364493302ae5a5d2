#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "download/CoffReader.h"

namespace quillon {

// The nine page images of a DSP download ("Page0" to "Page8"), created exclusively in the first
// folder of a list where that works, and removed when the object goes, whatever happened.
class PageFiles {
public:
    PageFiles() = default;
    ~PageFiles();
    PageFiles(const PageFiles&) = delete;
    PageFiles& operator=(const PageFiles&) = delete;

    // Creates the files in the first folder that takes all nine; false when none does.
    bool Create(const std::vector<std::filesystem::path>& folders);
    const std::filesystem::path& Folder() const { return folder_; }

    // Writes `count` bytes at `offset` of page `page` and marks the page used.
    bool Write(int page, uint64_t offset, const uint8_t* bytes, size_t count);
    // Pushes what was written out to the files; false when the disk did not take it all.
    bool Flush();
    bool Used(int page) const { return used_[static_cast<size_t>(page)]; }
    int UsedCount() const;
    // The size of a page's image, and reading it from the start.
    int64_t Size(int page);
    bool Rewind(int page);
    size_t Read(int page, uint8_t* bytes, size_t count);

private:
    void RemoveAll();

    std::filesystem::path folder_;
    std::array<std::FILE*, kPageCount> files_{};
    std::array<bool, kPageCount> used_{};
};

}  // namespace quillon
