#include "app/core/TerminalConsole.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include "platform/win32/WideText.h"
#else
#include <unistd.h>
#endif

namespace quillon {

std::string TerminalConsole::TitleSequence(const std::string& title) {
    std::string clean;
    for (char c : title) {
        // Control characters would end the sequence early or start another one.
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) {
            clean += c;
        }
    }
    return "\033]0;" + clean + "\007";
}

bool TerminalConsole::Open(const std::string& title) {
#ifdef _WIN32
    // The console window's own title; escape sequences are not every console's.
    if (::_isatty(::_fileno(out_)) != 0) {
        ::SetConsoleTitleW(WideText(title).c_str());
    }
#else
    if (::isatty(::fileno(out_)) == 1) {
        const std::string sequence = TitleSequence(title);
        std::fwrite(sequence.data(), 1, sequence.size(), out_);
        std::fflush(out_);
    }
#endif
    return true;
}

bool TerminalConsole::Write(const std::string& text) {
    const bool ok = std::fwrite(text.data(), 1, text.size(), out_) == text.size();
    return std::fflush(out_) == 0 && ok;
}

void TerminalConsole::WaitForEnter() {
    for (int c = std::fgetc(in_); c != EOF && c != '\n'; c = std::fgetc(in_)) {
    }
}

}  // namespace quillon
