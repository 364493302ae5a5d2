#pragma once

#include <string>
#include <vector>

#include "link/VersionInfoText.h"

namespace quillon {

// The icon of a message box; the caption is given with each text.
enum class MessageIcon { Error, Information, Question, Warning };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

// Everything the update logic shows a person, in one interface: the window implements it with
// widgets, the console mode with the terminal, tests with a recorder. The logic behind it never
// asks which one it has, beyond ConsoleMode() where the texts themselves differ.
class UpdaterView {
public:
    virtual ~UpdaterView() = default;

    // True in command-line mode: texts go to the console and no box is ever shown.
    virtual bool ConsoleMode() const = 0;

    // The status line (m_StatusLabel).
    virtual void SetStatus(const std::string& text) = 0;
    // A text written unchanged to the console (console mode only).
    virtual void WriteConsole(const std::string& text) = 0;
    // A modal message box owned by the main window.
    virtual MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                                      MessageIcon icon,
                                      MessageButtons buttons = MessageButtons::Ok) = 0;
    // The progress bar: position within 0..maximum.
    virtual void SetProgress(int position, int maximum) = 0;

    // "say T": the console in console mode, the status line in window mode.
    void Say(const std::string& text) {
        if (ConsoleMode()) {
            WriteConsole(text);
        } else {
            SetStatus(text);
        }
    }
    // "console T": the console in console mode, nothing in window mode.
    void Console(const std::string& text) {
        if (ConsoleMode()) {
            WriteConsole(text);
        }
    }

    // ---- update workflow ----
    // The password dialog (service access code, codeplug password): true with the text typed
    // when the user confirmed, false when cancelled. The console never asks.
    virtual bool AskPassword(std::string& /*text*/) { return false; }
    // The window's marks of a running update (Start reads Stop, port list and Retrieve
    // disabled, the port in the title) on or off.
    virtual void ShowRunningState(bool /*running*/) {}

    // ---- Build and radio identification ----
    // The window shows these; the console mode has no labels, so they do nothing by default.

    // The "Intended Target Radio" labels, as ReadResourceAttributes fills them.
    struct TargetRadioLabels {
        std::string model;           // m_TargetRadioLabel: "6700" or "6900"
        std::string series;          // m_TargetSeriesLabel
        std::string upgradeType;     // m_TargetUpgradeTypeLabel
        std::string tesseraVersion;  // TSRVersionLabel
        std::string vernierVersion;  // VernierVersionLabel
    };
    virtual void ShowTargetRadio(const TargetRadioLabels& /*labels*/) {}
    // m_NameLabel ("Name: ...") and m_TargetReleaseLabel.
    virtual void ShowNameLabels(const std::string& /*nameLabel*/, const std::string& /*release*/) {}
    // The one picture of the group box that is visible.
    enum class RadioPicture { PortableG, PortableX, MobileG, MobileX };
    virtual void ShowRadioPicture(RadioPicture /*picture*/) {}
    // The version panel after a successful Retrieve: its seven lines in panel order.
    virtual void ShowVersionInfo(const std::vector<VersionInfoLine>& /*lines*/) {}
};

}  // namespace quillon
