#pragma once

#include <iostream>
#include <string>

#include "app/core/UpdaterView.h"

namespace quillon::tool {

// The update logic's view for the tool: message boxes and status texts become lines on
// standard output (boxes with their caption), nothing is asked.
class ToolView : public UpdaterView {
public:
    bool ConsoleMode() const override { return false; }
    void SetStatus(const std::string& text) override {
        status = text;
        if (text != "Idle") {
            std::cout << text << "\n";
        }
    }
    void WriteConsole(const std::string& text) override { std::cout << text; }
    MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon,
                              MessageButtons) override {
        std::cout << "[" << caption << "] " << text << "\n";
        ++boxes;
        return MessageAnswer::Ok;
    }
    void SetProgress(int, int) override {}
    void ShowTargetRadio(const TargetRadioLabels& labels) override { target = labels; }
    void ShowNameLabels(const std::string& nameLabel, const std::string& releaseText) override {
        name = nameLabel;
        release = releaseText;
    }

    std::string status = "Idle";
    int boxes = 0;
    TargetRadioLabels target;
    std::string name;
    std::string release;
};

}  // namespace quillon::tool
