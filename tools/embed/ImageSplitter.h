#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::embed {

// The largest piece an image is cut into: 999 blocks of 1024 bytes.
constexpr size_t kMaxPieceBytes = 999 * 1024;

// Cuts a text image after line ends into pieces of at most `limit` bytes each, so that joining
// the pieces in order gives the image back byte for byte. False (with `error`) when one line is
// longer than the limit. An empty image gives no pieces.
bool SplitAtRecords(std::string_view image, size_t limit, std::vector<std::string_view>& pieces,
                    std::string& error);

// Cuts a binary image into pieces of `limit` bytes (the last one shorter).
std::vector<std::string_view> SplitBytes(std::string_view image, size_t limit);

}  // namespace quillon::embed
