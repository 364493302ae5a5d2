#pragma once

#include <cstdint>
#include <string>

namespace quillon {

// What the password dialog (PasswordDialog) keeps, without its widgets: the text typed
// and whether the person confirmed. OK (or Enter) accepts; Cancel, Escape and closing the
// window leave Accepted at 0.
class PasswordEntry {
public:
    void SetText(std::string text) { text_ = std::move(text); }
    void Accept() { Accepted = 1; }  // OK
    void Cancel() { Accepted = 0; }  // Cancel

    // The text with blanks and control characters removed at both ends.
    std::string GetPasswordText() const { return Trim(text_); }
    static std::string Trim(const std::string& text);

    uint8_t Accepted = 0;

private:
    std::string text_;
};

}  // namespace quillon
