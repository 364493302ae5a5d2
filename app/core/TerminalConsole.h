#pragma once

#include <cstdio>

#include "app/core/ConsoleWindow.h"

namespace quillon {

// The console of command-line mode on this system: the terminal the program runs in (standard
// output and input). Opening sets the terminal's title when standard output is a terminal and
// writes nothing else; there is no window to minimise.
class TerminalConsole : public ConsoleWindow {
public:
    TerminalConsole(std::FILE* out = stdout, std::FILE* in = stdin) : out_(out), in_(in) {}

    bool Open(const std::string& title) override;
    bool Write(const std::string& text) override;
    void WaitForEnter() override;
    void Minimise(const std::string& /*title*/) override {}
    void Close() override { std::fflush(out_); }

    // The escape sequence that sets a terminal's title.
    static std::string TitleSequence(const std::string& title);

private:
    std::FILE* out_;
    std::FILE* in_;
};

}  // namespace quillon
