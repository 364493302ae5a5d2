#pragma once

#include <string>

#include "transfer/PasswordPrompt.h"

namespace quillon::tool {

// Asks for the codeplug password on the terminal, without echo. When standard input is not a
// terminal nobody can answer, and the request counts as cancelled.
class TerminalPasswordPrompt : public PasswordPrompt {
public:
    bool Ask(std::string& password) override;
};

}  // namespace quillon::tool
