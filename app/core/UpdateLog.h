#pragma once

#include <string>

#include "app/core/UpdateRecord.h"

namespace quillon {

// The update log: one JSON line per update run, appended to
// $XDG_STATE_HOME/quillon/updates.jsonl (~/.local/state when XDG_STATE_HOME is unset or not
// absolute). Each line goes out in one write() on a descriptor opened with O_APPEND, so the
// lines of updaters running side by side never mix.
class UpdateLog {
public:
    // The log file from the environment; empty when neither XDG_STATE_HOME nor HOME names an
    // absolute folder.
    static std::string DefaultPath();

    // The record as one line of JSON (no newline inside, none at the end); `pid` is the
    // updater's process.
    static std::string Line(const UpdateRecord& record, long pid);
    // UTC time as 2026-12-09T03:10:00Z.
    static std::string TimeText(UpdateRecord::Clock::time_point when);

    explicit UpdateLog(std::string path) : path_(std::move(path)) {}
    const std::string& Path() const { return path_; }

    // Appends the record of this process's run. False with `error` saying why nothing (or not
    // the whole line) was written; the folder is created when missing.
    bool Append(const UpdateRecord& record, std::string& error) const;
    bool AppendLine(const std::string& line, std::string& error) const;

private:
    std::string path_;
};

}  // namespace quillon
