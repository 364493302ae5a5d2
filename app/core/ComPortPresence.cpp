#include "app/core/ComPortPresence.h"

#include <filesystem>

#include "serial/ComPortPath.h"

namespace quillon {

bool ComPortPresence::Present(int n) {
    return ComPortPath::Probe(n) == ComPortPath::State::Present;
}

std::string ComPortPresence::DevicePath(int n) {
    const std::string path = ComPortPath::Resolve(n);
    if (path.empty()) {
        return "";
    }
    std::error_code ec;
    const auto resolved = std::filesystem::canonical(path, ec);
    return ec ? path : resolved.string();
}

}  // namespace quillon
