#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace quillon {

// Keeps a copy of every codeplug read out of a radio before anything is written back to it:
// $XDG_DATA_HOME/quillon/backups/codeplug-<serial>-<UTC time>.bin (~/.local/share when
// XDG_DATA_HOME is unset or not absolute). A backup is never overwritten and never deleted.
class CodeplugBackup {
public:
    // The folder the backups go to, from the environment; empty when neither XDG_DATA_HOME nor
    // HOME names an absolute folder.
    static std::string DefaultFolder();

    // Backups go to `folder` (created with its parents when missing).
    explicit CodeplugBackup(std::string folder) : folder_(std::move(folder)) {}

    // The file name for a serial number (16 hexadecimal digits, or empty: "unknown") and a time.
    static std::string FileName(const std::string& serial, std::time_t when);

    // Whether Save could write a backup now: the folder is named, exists or can be made, and a
    // file can be created in it (one is made and removed again). False with `error` saying why.
    // For a check before the radio's codeplug is read.
    bool Ready(std::string& error) const;

    // Writes `length` bytes, exactly as given, to a new file. True with `path` set to where it
    // went; false with `error` saying why (nothing is left behind then).
    bool Save(const uint8_t* bytes, std::size_t length, const std::string& serial,
              std::string& path, std::string& error) const;

private:
    // The backup folder, made when it is not there yet; false with `error` when it cannot be.
    bool MakeFolder(std::string& error) const;
    std::string folder_;
};

}  // namespace quillon
