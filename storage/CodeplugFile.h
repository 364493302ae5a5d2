#pragma once

#include <cstddef>
#include <string>

#include "parms/CodeplugFormat.h"

namespace quillon {

// A codeplug image kept in a file: the bytes as the radio sends them, each word high byte
// first, at most 65,536 bytes. A shorter file reads as an image padded with zero words.
class CodeplugFile {
public:
    static constexpr std::size_t kMaxBytes = 2 * kCodeplugWords;

    // Reads `path` (a regular file) into the image (host word order). False, with `error` set,
    // when the file cannot be read or is larger than an image.
    bool Read(const std::string& path, std::string& error);

    // Writes the first `byteCount` bytes of the image (radio byte order) to `path` through a
    // temporary file in the same folder that is renamed over `path` only once it is complete,
    // so a failure never leaves a partial file and never touches an existing one.
    // Only regular files are replaced: an existing device, FIFO or folder is refused. A
    // symbolic link is followed and its target replaced; an existing file keeps its mode, a new
    // one gets 0666 less the umask.
    bool Write(const std::string& path, std::size_t byteCount, std::string& error) const;

    // Whether Write could write `path` now: what is there is a regular file or nothing, the
    // folder exists, and a file can be created in it (one is made and removed again). False,
    // with `error` naming the path and why, otherwise. For a check before a long read.
    static bool CheckWritable(const std::string& path, std::string& error);

    CodeplugImage& Image() { return m_Image; }
    const CodeplugImage& Image() const { return m_Image; }
    // Number of bytes the file held.
    std::size_t ByteLength() const { return m_ByteLength; }

private:
    CodeplugImage m_Image{};
    std::size_t m_ByteLength = 0;
};

}  // namespace quillon
