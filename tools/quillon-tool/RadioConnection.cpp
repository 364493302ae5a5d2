#include "tools/quillon-tool/RadioConnection.h"

#include <stdlib.h>
#include <unistd.h>

#include "serial/ComPortPath.h"

namespace quillon::tool {

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int32_t kLinkBaud = 19200;

// The COM number of a --port argument: a number from 1 to 255, or 0.
int ParsePortNumber(const std::string& text) {
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return 0;
    }
    const int n = std::stoi(text);
    return n >= ComPortPath::kFirst && n <= ComPortPath::kLast ? n : 0;
}

}  // namespace

// Makes a device path reachable as a COM number: a private COM directory whose com1 leads to
// the path, for as long as the object lives.
class RadioConnection::PublishedPath {
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
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/quillon-port-XXXXXX";
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

RadioConnection::RadioConnection() : timer_(pump_.CreateTimer()) {
    session_.UseTimeoutTimer(*timer_);
}

RadioConnection::~RadioConnection() {
    session_.Close();
}

int RadioConnection::Open(const std::string& port, std::ostream& err) {
    int portNumber = 0;
    if (port.find('/') != std::string::npos) {
        published_ = std::make_unique<PublishedPath>();
        portNumber = published_->Publish(port);
        if (portNumber == 0) {
            err << "Cannot reach " << port << " as a COM port.\n";
            return kExitFailed;
        }
    } else {
        portNumber = ParsePortNumber(port);
        if (portNumber == 0) {
            err << "--port: expected a COM number from 1 to 255 or a device path, got \"" << port
                << "\".\n";
            return kExitUsage;
        }
    }
    std::string error;
    if (!session_.StartCommunication(portNumber, kLinkBaud, false, error)) {
        session_.Close();
        err << error << "\n";
        return kExitFailed;
    }
    session_.SetFraming(1);
    session_.SetActive(true);
    return 0;
}

}  // namespace quillon::tool
