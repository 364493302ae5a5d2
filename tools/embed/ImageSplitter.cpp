#include "tools/embed/ImageSplitter.h"

namespace quillon::embed {

bool SplitAtRecords(std::string_view image, size_t limit, std::vector<std::string_view>& pieces,
                    std::string& error) {
    pieces.clear();
    size_t start = 0;
    while (start < image.size()) {
        if (image.size() - start <= limit) {
            pieces.push_back(image.substr(start));
            break;
        }
        // The last line end that still fits into this piece.
        const size_t cut = image.rfind('\n', start + limit - 1);
        if (cut == std::string_view::npos || cut < start) {
            error = "a record at byte " + std::to_string(start) + " is longer than " +
                    std::to_string(limit) + " bytes";
            pieces.clear();
            return false;
        }
        pieces.push_back(image.substr(start, cut + 1 - start));
        start = cut + 1;
    }
    return true;
}

std::vector<std::string_view> SplitBytes(std::string_view image, size_t limit) {
    std::vector<std::string_view> pieces;
    for (size_t start = 0; start < image.size(); start += limit) {
        pieces.push_back(image.substr(start, limit));
    }
    return pieces;
}

}  // namespace quillon::embed
