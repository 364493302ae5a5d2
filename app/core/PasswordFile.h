#pragma once

#include <optional>
#include <string>

namespace quillon {

// The codeplug password of unattended runs: the first line of the file named by
// QUILLON_CODEPLUG_PASSWORD_FILE. A file that anyone but its owner may read is refused, as is
// one that is not a regular file or whose first line is empty.
class PasswordFile {
public:
    static constexpr char kVariable[] = "QUILLON_CODEPLUG_PASSWORD_FILE";

    // The password from `path`; nothing with `error` saying why the file is refused.
    static std::optional<std::string> Read(const std::string& path, std::string& error);
    // From the environment: nothing and no error when the variable is unset or empty.
    static std::optional<std::string> FromEnvironment(std::string& error);
};

}  // namespace quillon
