#pragma once

#include <string>
#include <vector>

#include "app/core/UpdaterView.h"

namespace quillon::test {

// An UpdaterView that keeps everything shown, for tests to read back.
class RecordingView : public UpdaterView {
public:
    struct Box {
        std::string text;
        std::string caption;
        MessageIcon icon;
    };

    explicit RecordingView(bool console = false) : console_(console) {}

    bool ConsoleMode() const override { return console_; }
    void SetStatus(const std::string& text) override { status = text; }
    void WriteConsole(const std::string& text) override { console += text; }
    MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                              MessageButtons) override {
        boxes.push_back({text, caption, icon});
        return MessageAnswer::Ok;
    }
    void SetProgress(int position, int) override { progress = position; }
    void ShowTargetRadio(const TargetRadioLabels& labels) override {
        target = labels;
        targetShown = true;
    }
    void ShowNameLabels(const std::string& nameLabel, const std::string& releaseText) override {
        name = nameLabel;
        release = releaseText;
    }

    void ShowVersionInfo(const std::vector<VersionInfoLine>& lines) override { panel = lines; }

    std::string status = "Idle";
    std::vector<VersionInfoLine> panel;
    std::string console;
    std::vector<Box> boxes;
    int progress = -1;
    TargetRadioLabels target;
    bool targetShown = false;
    std::string name;
    std::string release;

private:
    bool console_;
};

}  // namespace quillon::test
