#include "serial/TraceFile.h"

#include <cstdlib>
#include <cstring>

#include "platform/FileSystem.h"
#include "platform/win32/WideText.h"

namespace quillon {

TraceFile::~TraceFile() {
    if (TraceSink::Active() == this) {
        TraceSink::SetActive(nullptr);
    }
    std::fclose(file_);
}

std::unique_ptr<TraceFile> TraceFile::Open(const std::string& path, std::string& error) {
    // Binary, so that lines end as on every other system.
    std::FILE* file = ::_wfopen(WideText(path).c_str(), L"ab");
    if (file == nullptr) {
        error = "Cannot open the trace file " + path + ": " + std::strerror(errno);
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
