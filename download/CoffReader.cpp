#include "download/CoffReader.h"

#include <array>

namespace quillon {

namespace {

constexpr uint64_t kSectionCountOffset = 2;
constexpr uint64_t kOptionalHeaderSizeOffset = 16;
constexpr uint64_t kTableWithoutOptionalHeader = 22;
constexpr uint64_t kTableWithOptionalHeader = 50;
constexpr uint64_t kSectionHeaderBytes = 40;

uint32_t Little(const uint8_t* p, int width) {
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) {
        value = value << 8 | p[i];
    }
    return value;
}

bool ReadAt(std::istream& in, uint64_t offset, uint8_t* out, size_t count) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(count));
    return static_cast<size_t>(in.gcount()) == count;
}

}  // namespace

bool PageIsSent(uint8_t page) {
    return page == 0 || page == 2 || (page >= 5 && page <= 8);
}

bool ReadCoffSections(std::istream& in, std::vector<CoffSection>& sections, std::string& error) {
    sections.clear();
    in.clear();
    in.seekg(0, std::ios::end);
    const auto end = in.tellg();
    if (end < 0) {
        error = "The DSP file cannot be read.";
        return false;
    }
    const auto fileSize = static_cast<uint64_t>(end);
    std::array<uint8_t, 18> header{};
    if (fileSize < kTableWithoutOptionalHeader || !ReadAt(in, 0, header.data(), header.size())) {
        error = "The DSP file is too short for a COFF header.";
        return false;
    }
    const uint32_t count = Little(header.data() + kSectionCountOffset, 2);
    const uint64_t table = Little(header.data() + kOptionalHeaderSizeOffset, 2) == 0
                               ? kTableWithoutOptionalHeader
                               : kTableWithOptionalHeader;
    if (table + count * kSectionHeaderBytes > fileSize) {
        error = "The DSP file's section table reaches past its end.";
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        std::array<uint8_t, kSectionHeaderBytes> raw{};
        if (!ReadAt(in, table + i * kSectionHeaderBytes, raw.data(), raw.size())) {
            error = "The DSP file's section table cannot be read.";
            return false;
        }
        CoffSection section;
        section.loadAddress = Little(raw.data() + 12, 4);
        section.sizeWords = Little(raw.data() + 16, 4);
        section.dataOffset = Little(raw.data() + 20, 4);
        section.page = raw[39];
        if (PageIsSent(section.page)) {
            const uint64_t bytes = 2ull * section.sizeWords;
            if (section.dataOffset + bytes > fileSize) {
                error = "Section " + std::to_string(i + 1) +
                        " of the DSP file has data outside the file.";
                return false;
            }
            if (2ull * section.loadAddress + bytes > kMaxPageBytes) {
                error = "Section " + std::to_string(i + 1) +
                        " of the DSP file lies outside its memory page.";
                return false;
            }
        }
        sections.push_back(section);
    }
    in.clear();
    return true;
}

}  // namespace quillon
