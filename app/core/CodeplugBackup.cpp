#include "app/core/CodeplugBackup.h"

#include <cstdlib>

#include "platform/FileSystem.h"
#include "platform/NewFile.h"

namespace quillon {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

bool Absolute(const char* path) {
#ifdef _WIN32
    return path != nullptr && path[0] != '\0' && path[1] == ':';
#else
    return path != nullptr && path[0] == '/';
#endif
}

// Only characters that are safe in a file name pass; anything else becomes '_'.
std::string SafeSerial(const std::string& serial) {
    if (serial.empty()) {
        return "unknown";
    }
    std::string safe;
    for (char c : serial) {
        const bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        safe += ok ? c : '_';
    }
    return safe;
}

}  // namespace

std::string CodeplugBackup::DefaultFolder() {
#ifdef _WIN32
    const char* local = std::getenv("LOCALAPPDATA");
    return Absolute(local) ? std::string(local) + "\\quillon\\backups" : std::string();
#else
    const char* data = std::getenv("XDG_DATA_HOME");
    if (Absolute(data)) {
        return std::string(data) + "/quillon/backups";
    }
    const char* home = std::getenv("HOME");
    if (Absolute(home)) {
        return std::string(home) + "/.local/share/quillon/backups";
    }
    return {};
#endif
}

std::string CodeplugBackup::FileName(const std::string& serial, std::time_t when) {
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &when);
#else
    gmtime_r(&when, &utc);
#endif
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    return "codeplug-" + SafeSerial(serial) + "-" + stamp + ".bin";
}

bool CodeplugBackup::MakeFolder(std::string& error) const {
    if (folder_.empty()) {
#ifdef _WIN32
        error = "no folder for backups (LOCALAPPDATA is not set)";
#else
        error = "no folder for backups (neither XDG_DATA_HOME nor HOME is set)";
#endif
        return false;
    }
    return FileSystem::MakeFolders(folder_, error);
}

bool CodeplugBackup::Ready(std::string& error) const {
    if (!MakeFolder(error)) {
        return false;
    }
    // A file of a fresh name, made and removed again: the folder takes new files.
    NewFile probe;
    if (!probe.CreateBeside(folder_ + kSeparator + ".codeplug-check", 0600)) {
        error = "cannot create a file in " + folder_ + ": " + probe.ErrorText();
        return false;
    }
    probe.Discard();
    return true;
}

bool CodeplugBackup::Save(const uint8_t* bytes, std::size_t length, const std::string& serial,
                          std::string& path, std::string& error) const {
    if (!MakeFolder(error)) {
        return false;
    }
    const std::string base = FileName(serial, std::time(nullptr));
    const std::string stem = base.substr(0, base.size() - 4);
    // Two backups in the same second get a counter rather than replacing each other.
    NewFile file;
    NewFile::Result created = NewFile::Result::Exists;
    for (int n = 0; n < 1000 && created == NewFile::Result::Exists; ++n) {
        path = folder_ + kSeparator + (n == 0 ? base : stem + "-" + std::to_string(n) + ".bin");
        created = file.Create(path, true);
        if (created == NewFile::Result::Failed) {
            error = "cannot create " + path + ": " + file.ErrorText();
            return false;
        }
    }
    if (created != NewFile::Result::Created) {
        error = "too many backups named " + base;
        return false;
    }
    if (!file.Write(bytes, length) || !file.Finish(true)) {
        error = "cannot write " + path + ": " + file.ErrorText();
        file.Discard();  // only a partial file of our own making
        return false;
    }
    return true;
}

}  // namespace quillon
