#pragma once

#include <string>

namespace quillon {

// The console of command-line mode: opened with a title, written to, waited on for Enter,
// closed.
class ConsoleWindow {
public:
    virtual ~ConsoleWindow() = default;
    // False when no console could be had; nothing is written then.
    virtual bool Open(const std::string& title) = 0;
    // Writes the whole text at once, unchanged.
    virtual bool Write(const std::string& text) = 0;
    // Returns when the user pressed Enter (or the input ended).
    virtual void WaitForEnter() = 0;
    // Shows the console titled `title` minimised, where the system can.
    virtual void Minimise(const std::string& title) = 0;
    virtual void Close() = 0;
};

}  // namespace quillon
