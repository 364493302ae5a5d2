#include "storage/CodeplugFile.h"

#include <vector>

#include "platform/FileSystem.h"
#include "platform/NewFile.h"

namespace quillon {

bool CodeplugFile::Read(const std::string& path, std::string& error) {
    // Read one byte more than an image holds, to tell a full image from a larger file.
    std::vector<uint8_t> bytes;
    std::string detail;
    switch (FileSystem::ReadRegularFile(path, kMaxBytes + 1, bytes, detail)) {
        case FileSystem::ReadResult::Ok:
            break;
        case FileSystem::ReadResult::CannotOpen:
            error = "cannot open " + path + ": " + detail;
            return false;
        case FileSystem::ReadResult::NotRegular:
            error = "cannot read " + path + ": it is " + detail +
                    "; a codeplug is read only from a regular file";
            return false;
        case FileSystem::ReadResult::CannotRead:
            error = "cannot read " + path + ": " + detail;
            return false;
    }
    const std::size_t got = bytes.size();
    if (got > kMaxBytes) {
        error = path + " is larger than a codeplug image (at most 65536 bytes)";
        return false;
    }
    m_Image.fill(0);
    for (std::size_t i = 0; i < got; ++i) {
        const unsigned shift = i % 2 == 0 ? 8 : 0;
        m_Image[i / 2] = static_cast<uint16_t>(m_Image[i / 2] | (bytes[i] << shift));
    }
    m_ByteLength = got;
    return true;
}

bool CodeplugFile::Write(const std::string& path, std::size_t byteCount, std::string& error) const {
    if (byteCount > kMaxBytes) {
        error = "cannot write " + std::to_string(byteCount) + " bytes: an image holds at most " +
                std::to_string(kMaxBytes);
        return false;
    }
    std::vector<uint8_t> bytes(byteCount);
    for (std::size_t i = 0; i < byteCount; ++i) {
        const uint16_t word = m_Image[i / 2];
        bytes[i] = static_cast<uint8_t>(i % 2 == 0 ? word >> 8 : word & 0xFF);
    }

    std::string target;
    uint32_t mode = 0;
    if (!FileSystem::ReplacementTarget(path, target, mode, error)) {
        return false;
    }
    NewFile file;
    if (!file.CreateBeside(target, mode)) {
        error = "cannot create a temporary file for " + path + ": " + file.ErrorText();
        return false;
    }
    if (!file.Write(bytes.data(), bytes.size()) || !file.Finish(true)) {
        error = "cannot write " + file.Path() + ": " + file.ErrorText();
        file.Discard();
        return false;
    }
    std::string detail;
    if (!FileSystem::Replace(file.Path(), target, detail)) {
        error = "cannot replace " + path + ": " + detail;
        file.Discard();
        return false;
    }
    return true;
}

bool CodeplugFile::CheckWritable(const std::string& path, std::string& error) {
    if (path.empty()) {
        error = "cannot write a codeplug to an empty file name";
        return false;
    }
    std::string target;
    uint32_t mode = 0;
    if (!FileSystem::ReplacementTarget(path, target, mode, error)) {
        return false;
    }
    const auto slash = target.find_last_of("/\\");
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    if (!FileSystem::Exists(folder)) {
        error = "cannot write " + path + ": the folder " + folder + " does not exist";
        return false;
    }
    if (FileSystem::IsRegularFile(folder)) {
        error = "cannot write " + path + ": " + folder + " is not a folder";
        return false;
    }
    // The same temporary file Write makes, so the check fails exactly where Write would.
    NewFile file;
    if (!file.CreateBeside(target, mode)) {
        error = "cannot write " + path + ": no file can be created in " + folder + " (" +
                file.ErrorText() + ")";
        return false;
    }
    file.Discard();
    return true;
}

}  // namespace quillon
