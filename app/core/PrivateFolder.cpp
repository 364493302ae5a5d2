#include "app/core/PrivateFolder.h"

#include <cstdio>
#include <cstdlib>

#include "platform/FileSystem.h"

namespace quillon {

PrivateFolder::PrivateFolder(const std::string& prefix,
                             const std::vector<std::filesystem::path>& parents) {
    for (const std::filesystem::path& parent : parents) {
        const std::string made = FileSystem::MakeUniqueFolder((parent / prefix).string());
        if (!made.empty()) {
            path_ = made;
            return;
        }
    }
}

PrivateFolder::~PrivateFolder() {
    if (!path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
}

std::vector<std::filesystem::path> PrivateFolder::DefaultParents() {
    std::vector<std::filesystem::path> parents;
    std::error_code error;
    // The form with an error code: a $TMPDIR that is not a folder must not end the program.
    const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    if (!error) {
        parents.push_back(temp);
    } else {
        const char* variable = std::getenv("TMPDIR");
        std::fprintf(stderr,
                     "The temporary folder (TMPDIR=%s) cannot be used: %s. The working folder "
                     "is used instead.\n",
                     variable != nullptr ? variable : "", error.message().c_str());
    }
    const std::filesystem::path working = std::filesystem::current_path(error);
    parents.push_back(error ? std::filesystem::path(".") : working);
    return parents;
}

}  // namespace quillon
