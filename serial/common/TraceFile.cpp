#include "serial/TraceFile.h"

#include <cstdlib>

#include "platform/FileSystem.h"

namespace quillon {

TraceFile::~TraceFile() {
    if (TraceSink::Active() == this) {
        TraceSink::SetActive(nullptr);
    }
    std::fclose(file_);
}

std::unique_ptr<TraceFile> TraceFile::Open(const std::string& path, std::string& error) {
    // Readable by its owner only: a trace shows the whole conversation with the radio.
    std::string why;
    std::FILE* file = FileSystem::OpenForAppending(path, why);
    if (file == nullptr) {
        error = "Cannot open the trace file " + path + ": " + why;
        return nullptr;
    }
    return std::unique_ptr<TraceFile>(new TraceFile(file));
}

bool TraceFile::Install(const std::string& path, std::string& error) {
    // One trace for the life of the process; a second install replaces the first.
    static std::unique_ptr<TraceFile> installed;
    std::unique_ptr<TraceFile> file = Open(path, error);
    if (!file) {
        return false;
    }
    TraceSink::SetActive(file.get());
    installed = std::move(file);
    return true;
}

bool TraceFile::InstallFromEnvironment(std::string& error) {
    const char* path = std::getenv(kVariable);
    if (path == nullptr || *path == '\0') {
        return true;
    }
    return Install(path, error);
}

void TraceFile::Line(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fputc('\n', file_);
    std::fflush(file_);
}

}  // namespace quillon
