#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quillon {

// A folder only this user can enter, made fresh (mkdtemp, mode 0700) under the first of a list of
// parents where that works, and removed with everything in it when the object goes. Files that
// must not outlive one operation (the DSP page files) go there under fixed names without meeting
// those of another run.
class PrivateFolder {
public:
    // `prefix` starts the folder's name ("quillon-pages" gives quillon-pages-XXXXXX).
    explicit PrivateFolder(const std::string& prefix,
                           const std::vector<std::filesystem::path>& parents = DefaultParents());
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    // Empty when no parent took it.
    const std::filesystem::path& Path() const { return path_; }

    // The temporary folder ($TMPDIR, else /tmp; left out, with a word on standard error, when it
    // is not a folder), then the working folder.
    static std::vector<std::filesystem::path> DefaultParents();

private:
    std::filesystem::path path_;
};

}  // namespace quillon
