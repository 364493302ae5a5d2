#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace quillon {

// What the programs ask of the file system besides writing new files (NewFile). Paths are UTF-8.
class FileSystem {
public:
    // Creates `folder` and its parents; new ones are private to the user. False, with `error`
    // set, when one cannot be made or `folder` is something else.
    static bool MakeFolders(const std::string& folder, std::string& error);
    static bool Exists(const std::string& path);
    // Whether `path` is a plain file, and its size.
    static bool IsRegularFile(const std::string& path, uint64_t* size = nullptr);
    static void Remove(const std::string& path);
    // Renames `from` over `to`, replacing it in one step.
    static bool Replace(const std::string& from, const std::string& to, std::string& error);

    // The file a replacement of `path` goes to (symbolic links followed), and the access mode it
    // keeps. False, with `error` ("cannot write PATH: ...") set, when it cannot be replaced.
    static bool ReplacementTarget(const std::string& path, std::string& target, uint32_t& mode,
                                  std::string& error);

    enum class ReadResult { Ok, CannotOpen, NotRegular, CannotRead };
    // Reads up to `limit` bytes of the plain file `path` without blocking on a FIFO or device.
    // `detail`: the system's explanation, or for NotRegular what the file is ("a folder").
    static ReadResult ReadRegularFile(const std::string& path, std::size_t limit,
                                      std::vector<uint8_t>& bytes, std::string& detail);

    // A new folder private to the user, named `stem` and a unique ending ("/tmp/x" makes
    // "/tmp/x-Q3fz9a"); "" when it cannot be made.
    static std::string MakeUniqueFolder(const std::string& stem);

    // Appends `bytes` to `path` (made private to the user when new) in one write at the file's
    // end, so that the lines of programs appending to one file at once never mix. False, with
    // `error` set, when the file cannot be opened or the write falls short.
    static bool Append(const std::string& path, const std::string& bytes, std::string& error);

    // Opens `path` to append to it through a stream (made private to the user when new, where
    // files have modes); nullptr, with `error` set, when it cannot be opened.
    static std::FILE* OpenForAppending(const std::string& path, std::string& error);

    // The system's text for the last failure of the calling thread.
    static std::string LastErrorText();
};

}  // namespace quillon
