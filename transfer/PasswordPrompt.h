#pragma once

#include <string>

namespace quillon {

// Asks the user for the radio's codeplug password (up to eight digits). The window shows its
// password dialog; the command-line tools ask on the terminal.
class PasswordPrompt {
public:
    virtual ~PasswordPrompt() = default;
    // True with the text the user confirmed; false when the user cancelled.
    virtual bool Ask(std::string& password) = 0;
};

}  // namespace quillon
