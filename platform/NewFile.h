#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon {

// A file this program creates and writes: a backup, an extracted image, a codeplug on its way
// to replacing another. Never opens a file that is there already, so nothing of someone else's
// is truncated; a file not finished is removed again (with the object, at the latest).
class NewFile {
public:
    enum class Result { Created, Exists, Failed };

    NewFile() = default;
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // Creates `path`. `privateFile`: readable by its owner only (else by everyone, as a new file
    // normally is). Exists when anything is at `path`.
    Result Create(const std::string& path, bool privateFile);
    // Creates a file of a fresh name in the folder of `target`, with the access `mode` (POSIX
    // permission bits; ignored where files have none), to be renamed over `target` later.
    bool CreateBeside(const std::string& target, uint32_t mode);

    bool Write(const void* data, std::size_t size);
    // Closes the file, pushed to the disk first when `sync`. False when a write or the close
    // failed; the file stays for the caller to keep or Discard.
    bool Finish(bool sync);
    // Closes and removes the file.
    void Discard();

    const std::string& Path() const { return path_; }
    // The system's explanation of the last failure.
    const std::string& ErrorText() const { return error_; }

private:
    void Fail();

    std::string path_;
    std::string error_;
    intptr_t handle_ = -1;  // a descriptor or a handle, -1 when closed
    bool failed_ = false;
};

}  // namespace quillon
