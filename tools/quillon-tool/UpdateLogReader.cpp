#include "tools/quillon-tool/UpdateLogReader.h"

#include <filesystem>
#include <fstream>

namespace quillon::tool {

UpdateLogReader::UpdateLogReader(std::string path) : path_(std::move(path)) {
    std::error_code error;
    const auto size = path_.empty() ? 0 : std::filesystem::file_size(path_, error);
    start_ = error ? 0 : size;
}

std::optional<nlohmann::ordered_json> UpdateLogReader::Find(pid_t pid) const {
    std::ifstream in(path_, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::error_code error;
    const auto size = std::filesystem::file_size(path_, error);
    // A log made anew since (emptied by hand) is read from its start.
    in.seekg(static_cast<std::streamoff>(!error && size >= start_ ? start_ : 0));
    std::optional<nlohmann::ordered_json> found;
    std::string line;
    while (std::getline(in, line)) {
        nlohmann::ordered_json entry = nlohmann::ordered_json::parse(line, nullptr, false);
        if (entry.is_object() && entry.contains("pid") && entry["pid"].is_number_integer() &&
            entry["pid"].get<int64_t>() == pid) {
            found = std::move(entry);
        }
    }
    return found;
}

}  // namespace quillon::tool
