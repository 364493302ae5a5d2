#pragma once

#include <string>

#include "app/core/UpdaterView.h"

namespace quillon::tool {

// The view of a command that reports on its own: the connection's messages are not shown (the
// caller prints the connection's error), and texts meant for a console go nowhere.
class QuietView : public UpdaterView {
public:
    bool ConsoleMode() const override { return true; }
    void SetStatus(const std::string&) override {}
    void WriteConsole(const std::string&) override {}
    MessageAnswer ShowMessage(const std::string&, const std::string&, MessageIcon,
                              MessageButtons) override {
        return MessageAnswer::Ok;
    }
    void SetProgress(int, int) override {}
};

}  // namespace quillon::tool
