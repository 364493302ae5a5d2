#include "tools/quillon-tool/CodeplugInfoJson.h"

#include "tools/quillon-tool/CodeplugFormatText.h"

namespace quillon::tool {

nlohmann::json CodeplugInfoJson(const std::string& path, std::size_t fileBytes,
                                const CodeplugImage& image, const BlockNamer& blockName) {
    const uint16_t total = CodeplugFormat::TotalLength(image);
    nlohmann::json info = {
        {"file", path},
        {"file_bytes", fileBytes},
        {"format", FormatText(image)},
        {"total_length_words", total},
        {"image_bytes", 2u * std::size_t{total}},
        {"trailer_words", kTrailerWords},
        {"systems", CodeplugFormat::SystemCount(image)},
        {"groups", CodeplugFormat::GroupCount(image)},
        {"structure", "OK"},
    };
    nlohmann::json blocks = nlohmann::json::array();
    unsigned groups = 0;
    const uint32_t bound = total > kTrailerWords ? total - kTrailerWords : 0;
    CodeplugFormat::WalkBlocks(image, bound, [&](const BlockEntry& block) {
        if (block.type == kGroupBlock) {
            ++groups;
        }
        nlohmann::json tables = nlohmann::json::array();
        const DescriptorList list = CodeplugFormat::GetDescriptorList(image, block.start);
        for (unsigned t = 0; t < list.count; ++t) {
            const TableInfo table = CodeplugFormat::GetTable(image, block.start, t);
            if (table.count != 0 || table.size != 0) {
                tables.push_back(
                    {{"table", t}, {"records", table.count}, {"record_words", table.size}});
            }
        }
        blocks.push_back({{"word", block.start},
                          {"name", blockName(block, groups)},
                          {"length_words", block.length},
                          {"tables", tables}});
        return true;
    });
    info["blocks"] = blocks;
    return info;
}

}  // namespace quillon::tool
