#include "tools/quillon-tool/RadioConnection.h"

#include "serial/posix/PosixSerialLine.h"
#include "tools/quillon-tool/ToolConnection.h"

namespace quillon::tool {

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

}  // namespace

RadioConnection::RadioConnection()
    : session_(pump_, PosixSerialLine::Factory()), timer_(pump_.CreateTimer()) {
    session_.UseTimeoutTimer(*timer_);
}

RadioConnection::~RadioConnection() {
    session_.Close();
}

int RadioConnection::Open(const std::string& port, std::ostream& err, int32_t speed) {
    ResolvedPort resolved;
    std::string error;
    if (!ResolvePort(port, resolved, error)) {
        err << error << "\n";
        return kExitUsage;
    }
    if (!ConnectLink(session_, resolved, speed, error)) {
        err << error << "\n";
        return kExitFailed;
    }
    return 0;
}

}  // namespace quillon::tool
