#pragma once

#include <cstddef>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "parms/CodeplugFormat.h"

namespace quillon::tool {

// A block's name as `codeplug info` prints it; `groupOrdinal` counts the group blocks so far.
using BlockNamer = std::function<std::string(const BlockEntry& block, unsigned groupOrdinal)>;

// What `codeplug info --json` prints for a well-formed image (in the newer list layout) read from
// `path`, `fileBytes` long: the same findings as the text, with plainly named fields.
nlohmann::json CodeplugInfoJson(const std::string& path, std::size_t fileBytes,
                                const CodeplugImage& image, const BlockNamer& blockName);

}  // namespace quillon::tool
