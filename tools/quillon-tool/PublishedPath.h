#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "serial/ComPortPath.h"

namespace quillon::tool {

// Makes a device path reachable as a COM number: a private COM directory whose com1 leads to
// the path, for as long as the object lives.
class PublishedPath {
public:
    PublishedPath() = default;
    PublishedPath(const PublishedPath&) = delete;
    PublishedPath& operator=(const PublishedPath&) = delete;
    ~PublishedPath() {
        if (!link_.empty()) {
            ::unlink(link_.c_str());
        }
        if (!dir_.empty()) {
            ::rmdir(dir_.c_str());
        }
    }

    // The COM number that now names `path`, or 0 when it could not be published.
    int Publish(const std::string& path) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/quillon-info-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            return 0;
        }
        dir_ = pattern;
        const std::string link = dir_ + "/com1";
        if (::symlink(path.c_str(), link.c_str()) != 0) {
            return 0;
        }
        link_ = link;
        if (::setenv(ComPortPath::kDirVariable, dir_.c_str(), 1) != 0) {
            return 0;
        }
        return 1;
    }

private:
    std::string dir_;
    std::string link_;
};

// The COM number of a --port argument: a number from 1 to 255, or 0.
inline int ParsePortNumber(const std::string& text) {
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return 0;
    }
    const int n = std::stoi(text);
    return n >= ComPortPath::kFirst && n <= ComPortPath::kLast ? n : 0;
}

}  // namespace quillon::tool
