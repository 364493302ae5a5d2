#include "sim/ComLink.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace quillon::sim {

namespace fs = std::filesystem;

std::unique_ptr<ComLink> ComLink::Publish(const std::string& dir, int comNumber,
                                          const std::string& target, std::string& error) {
    if (comNumber < 1 || comNumber > 255) {
        error = "the COM number must be between 1 and 255";
        return nullptr;
    }
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
        error = "cannot create " + dir + ": " + ec.message();
        return nullptr;
    }
    const fs::path path = fs::path(dir) / ("com" + std::to_string(comNumber));
    const fs::file_status status = fs::symlink_status(path, ec);
    if (fs::exists(status) && !fs::is_symlink(status)) {
        error = path.string() + " exists and is not a symbolic link; not replaced";
        return nullptr;
    }
    // Made under a temporary name and renamed over the old link, so the name never dangles.
    const fs::path temporary = path.string() + ".new" + std::to_string(getpid());
    fs::remove(temporary, ec);
    fs::create_symlink(target, temporary, ec);
    if (!ec) {
        fs::rename(temporary, path, ec);
    }
    if (ec) {
        error = "cannot link " + path.string() + " to " + target + ": " + ec.message();
        fs::remove(temporary, ec);
        return nullptr;
    }
    return std::unique_ptr<ComLink>(new ComLink(path.string(), target));
}

ComLink::~ComLink() {
    // Only our own link: another radio may have taken the name over since.
    std::error_code ec;
    const fs::path linked = fs::read_symlink(path_, ec);
    if (!ec && linked == fs::path(target_)) {
        fs::remove(path_, ec);
    }
}

}  // namespace quillon::sim
