#pragma once

#include "app/core/ConsoleWindow.h"
#include "app/core/UpdaterView.h"

namespace quillon {

// The view of command-line mode: every text goes to the console; there is no status line, no
// progress bar and no dialog. A message box becomes its text on a line of its own; a question
// is answered No and a password prompt is cancelled, so nothing waits for a person.
class ConsoleView : public UpdaterView {
public:
    explicit ConsoleView(ConsoleWindow& console) : console_(console) {}

    bool ConsoleMode() const override { return true; }
    void SetStatus(const std::string& /*text*/) override {}
    void WriteConsole(const std::string& text) override { console_.Write(text); }
    MessageAnswer ShowMessage(const std::string& text, const std::string& /*caption*/,
                              MessageIcon /*icon*/, MessageButtons buttons) override {
        console_.Write("\n" + text + "\n");
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
    void SetProgress(int /*position*/, int /*maximum*/) override {}

private:
    ConsoleWindow& console_;
};

}  // namespace quillon
