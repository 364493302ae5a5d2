#pragma once

#include <sys/types.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace quillon::tool {

// Finds the line an updater appended to the update log (one JSON object a line), by the pid of
// the process that wrote it (the log the updater writes: UpdateLog::DefaultPath()). Only what was
// appended after the reader was made is read, so a long log costs nothing; a line that is not a
// JSON object is passed over.
class UpdateLogReader {
public:
    explicit UpdateLogReader(std::string path);

    // The last line of process `pid` written since the reader was made.
    std::optional<nlohmann::ordered_json> Find(pid_t pid) const;

private:
    std::string path_;
    uint64_t start_ = 0;
};

}  // namespace quillon::tool
