// The window bound to the update logic, against the in-process virtual radio on the virtual
// clock: the build's own images, the real download engine and codeplug transfer, the widgets
// pressed as a technician presses them.

#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <set>

#include "app/AboutDialog.h"
#include "app/MainWindow.h"
#include "app/PasswordDialog.h"
#include "app/WindowMode.h"
#include "app/core/UpdateController.h"
#include "sim/ScenarioLoader.h"
#include "tests/app/WidgetTestApp.h"
#include "tests/app/core/CodeplugBytes.h"
#include "tests/app/core/WorkflowFakes.h"
#include "tests/support/InProcessLink.h"

namespace quillon::test {
namespace {

namespace fs = std::filesystem;
using Form = MainWindow;

constexpr int kRadioPort = 7;

// The machine's ports as the test sets them: which COM numbers exist, the USB names, and
// whether the hourglass was up while the list was being rebuilt.
class FakeMachinePorts : public PortPresence, public PortDeviceNames {
public:
    bool Present(int n) override {
        waitCursorSeen = waitCursorSeen || QApplication::overrideCursor() != nullptr;
        return present.count(n) != 0;
    }
    std::string DevicePath(int n) override {
        if (present.count(n) == 0) {
            return "";
        }
        return n == kRadioPort ? InProcessLink::kDevicePath : "/dev/ttyS" + std::to_string(n);
    }
    bool List(std::vector<PortDeviceName>& devices) override {
        devices = names;
        return true;
    }

    std::set<int> present{3, kRadioPort};
    std::vector<PortDeviceName> names;
    bool waitCursorSeen = false;
};

// A portable whose boot code is current, holding a 5.9 codeplug; its new firmware expects 5.11.
sim::RadioConfig NormalRadio(const std::string& writtenPath) {
    sim::RadioConfig config;
    sim::LoadScenarioFile(QUILLON_SOURCE_DIR "/sim/scenarios/update-normal.json", config);
    config.codeplug.image = RadioCodeplug(0x0509);
    config.codeplug.outPath = writtenPath;
    return config;
}

// Answers the next modal message box, if one comes, with `button`, keeping "title: text".
void AnswerNextBox(QString& box, QMessageBox::StandardButton button = QMessageBox::Ok) {
    WhenModal([&box, button](QWidget* modal) {
        if (auto* message = qobject_cast<QMessageBox*>(modal)) {
            box = message->windowTitle() + ": " + message->text();
            message->button(button)->click();
        }
    });
}

struct WindowRig {
    WindowRig() : link(NormalRadio(folder.Path() + "/written.cpl")) {
        WidgetTestApp();
        window = std::make_unique<Form>();
        mode = std::make_unique<WindowMode>(
            *window,
            UpdaterEnvironment{link.pump, [this] { return link.MakeLine(); }, nullptr, ports, ports,
                               [] { return 1; }, resources, "/opt/quillon/quillon-updater",
                               folder.Path() + "/backups", *window},
            "/opt/quillon/QuillonCodeUpdater_6700_Release_1_4_8");
        window->show();
    }

    // The technician picks COM n from the list.
    void Choose(int comNumber) { emit window->ComPortCombo()->activated(comNumber - 1); }

    // Presses Start; the password dialog, when it comes, is answered with `typed` (OK) or
    // cancelled (`typed` null). Returns how often the dialog came.
    int PressStart(const char* typed) {
        int asked = 0;
        WhenModal([&asked, typed](QWidget* modal) {
            auto* dialog = qobject_cast<PasswordDialog*>(modal);
            if (dialog == nullptr) {
                return;
            }
            ++asked;
            dialog->PasswordEdit()->setText(typed != nullptr ? typed : "");
            (typed != nullptr ? dialog->OkButton() : dialog->CancelButton())->click();
        });
        window->StartButton()->click();
        QCoreApplication::processEvents();  // a dialog that never came: the check runs now
        return asked;
    }

    // Runs `action` once, in the middle of the application code download.
    void DuringApplicationDownload(std::function<void()> action) {
        WhenStatus("Application", 20, std::move(action));
    }

    // Runs `action` once, when the status line shows `status` and the bar has reached
    // `progress`.
    void WhenStatus(const QString& status, int progress, std::function<void()> action) {
        watch = link.pump.CreateTimer();
        watch->SetInterval(50);
        watch->SetCallback([this, status, progress, action] {
            if (window->StatusText().contains(status) && window->ProgressValue() >= progress) {
                watch->Stop();
                seenDuringDownload = JoinedFilesLeft();
                seenStatus = true;
                action();
            }
        });
        watch->Start();
    }

    bool JoinedFilesLeft() const {
        for (const auto& entry : fs::directory_iterator(folder.Path())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("Loader", 0) == 0 || name.rfind("Code", 0) == 0) {
                return true;
            }
        }
        return false;
    }
    bool CodeplugWritten() const { return fs::exists(folder.Path() + "/written.cpl"); }

    void ExpectIdle() const {
        EXPECT_FALSE(mode->Controller().Running());
        EXPECT_EQ(window->StartButton()->text(), "Start");
        EXPECT_TRUE(window->ComPortCombo()->isEnabled());
        EXPECT_TRUE(window->RetrieveButton()->isEnabled());
        EXPECT_EQ(window->windowTitle(), "Quillon Code Updater");
    }

    OwnWorkingFolder folder;
    InProcessLink link;
    FakeMachinePorts ports;
    ResourceTable resources{EmbeddedResourceEntries()};
    std::unique_ptr<Form> window;
    std::unique_ptr<WindowMode> mode;
    std::unique_ptr<Timer> watch;
    bool seenDuringDownload = false;
    bool seenStatus = false;
};

TEST(WindowMode, StartUpFillsTheLabelsAndThePortList) {
    WindowRig rig;
    rig.ports.names = {{"/dev/other", "USB RPI KVT 6900 cable", "", "", "", "", ""}};
    EXPECT_EQ(rig.window->NameText(), "Name: QuillonCodeUpdater_6700_Release_1_4_8");
    EXPECT_EQ(rig.window->ComPortCombo()->count(), 255);
    EXPECT_EQ(rig.window->ComPortPosition(), 0);
    EXPECT_TRUE(rig.window->ComPortPresent(2));
    EXPECT_FALSE(rig.window->ComPortPresent(3));
    // A build that handles its boot code itself offers no choice.
    EXPECT_FALSE(rig.window->BootRadio()->isVisibleTo(rig.window.get()));
    EXPECT_EQ(rig.window->StatusText(), "Idle");
}

TEST(WindowMode, TheAccessCodeIsAskedUntilAcceptedThenNeverAgain) {
    WindowRig rig;
    rig.Choose(kRadioPort);
    const struct {
        const char* typed;  // null: Cancel
        int asked;
        bool runs;
    } presses[] = {
        {"Pelican", 1, false},
        {nullptr, 1, false},
        {"pelican", 1, true},
        {"anything", 0, true},  // accepted once: Start runs at once
    };
    int runs = 0;
    for (const auto& press : presses) {
        SCOPED_TRACE(press.typed != nullptr ? press.typed : "(cancel)");
        const int64_t before = rig.link.pump.NowMs();
        EXPECT_EQ(rig.PressStart(press.typed), press.asked);
        const bool ran = rig.link.pump.NowMs() > before;
        EXPECT_EQ(ran, press.runs);
        runs += ran ? 1 : 0;
        rig.ExpectIdle();
    }
    EXPECT_EQ(runs, 2);
    // The first run went through: code, reset, codeplug read, converted and written back. The
    // final status tells where the codeplug read from the radio was saved.
    EXPECT_TRUE(rig.CodeplugWritten());
    const QString saved =
        "Done.  Codeplug saved to " + QString::fromStdString(rig.folder.Path() + "/backups/");
    EXPECT_TRUE(rig.window->StatusText().startsWith(saved))
        << rig.window->StatusText().toStdString();
    EXPECT_EQ(rig.mode->ReturnCode(), 0);
    EXPECT_FALSE(rig.JoinedFilesLeft());
}

TEST(WindowMode, StopDuringTheDownloadEndsTheRunWithoutTheCodeplugStep) {
    WindowRig rig;
    rig.Choose(kRadioPort);
    rig.DuringApplicationDownload([&] {
        EXPECT_EQ(rig.window->StartButton()->text(), "Stop");
        EXPECT_EQ(rig.window->windowTitle(), "Quillon Code Updater [COM7]");
        rig.window->StartButton()->click();
    });
    rig.PressStart("pelican");
    EXPECT_TRUE(rig.seenDuringDownload);
    EXPECT_FALSE(rig.JoinedFilesLeft());
    EXPECT_FALSE(rig.CodeplugWritten());
    EXPECT_EQ(rig.link.radio.Radio().Restarts(), 0);
    EXPECT_FALSE(rig.window->StatusText().contains("codeplug"));
    rig.ExpectIdle();
}

// Stop ends the run without a box for what the user asked, and the link is usable at once:
// Retrieve reads a restarted radio right after (one left in its loader does not answer).
TEST(WindowMode, AfterStopNoBoxAndRetrieveWorksAtOnce) {
    const struct {
        const char* status;  // Stop is pressed when the status line shows it
        int progress;
        bool radioAnswers;
    } rows[] = {{"Application", 20, false}, {"Resetting radio...", 0, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.status);
        WindowRig rig;
        rig.Choose(kRadioPort);
        rig.WhenStatus(row.status, row.progress, [&] { rig.window->StartButton()->click(); });
        QStringList boxes;
        QTimer closer;
        closer.setInterval(5);
        QObject::connect(&closer, &QTimer::timeout, [&boxes] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxes << box->windowTitle() + ": " + box->text();
                box->button(QMessageBox::Ok)->click();
            }
        });
        closer.start();
        rig.PressStart("pelican");
        EXPECT_TRUE(rig.seenStatus);
        EXPECT_FALSE(rig.CodeplugWritten());
        EXPECT_FALSE(rig.JoinedFilesLeft());
        rig.ExpectIdle();
        EXPECT_TRUE(boxes.isEmpty()) << boxes.join("\n").toStdString();
        EXPECT_FALSE(rig.mode->Controller().Cancel().Cancelled());
        if (row.radioAnswers) {
            rig.window->RetrieveButton()->click();
            QCoreApplication::processEvents();
            EXPECT_EQ(rig.window->VersionValue(4)->text(), "12-34-56-78-9A-BC-DE-F0");
            EXPECT_TRUE(boxes.isEmpty()) << boxes.join("\n").toStdString();
        }
    }
}

TEST(WindowMode, ClosingDuringARunAsksAndStopsOnlyOnYes) {
    for (const auto button : {QMessageBox::No, QMessageBox::Yes}) {
        const bool yes = button == QMessageBox::Yes;
        SCOPED_TRACE(yes ? "Yes" : "No");
        WindowRig rig;
        rig.Choose(kRadioPort);
        QString question;
        rig.DuringApplicationDownload([&] {
            AnswerNextBox(question, button);
            rig.window->close();
        });
        // The run starts from the message loop, as a click does. After Yes the program ends
        // once the run has returned there; after No the run goes on and the loop is left here.
        QTimer::singleShot(0, [&] {
            rig.PressStart("pelican");
            if (!yes) {
                QCoreApplication::exit(2);
            }
        });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(3); });
        guard.start(10000);
        EXPECT_EQ(QApplication::exec(), yes ? 0 : 2);
        EXPECT_EQ(question, "Confirm: Update in progress.  Are you sure you want to quit?");
        EXPECT_TRUE(rig.seenDuringDownload);
        EXPECT_FALSE(rig.JoinedFilesLeft());
        EXPECT_EQ(rig.CodeplugWritten(), !yes);  // No: the run went on to its end
        EXPECT_EQ(rig.window->isVisible(), !yes);
        EXPECT_FALSE(rig.mode->Controller().Running());
    }
}

TEST(WindowMode, AboutIsRefusedWhileAnUpdateRuns) {
    WindowRig rig;
    rig.Choose(kRadioPort);
    int aboutBoxes = 0;
    auto countAbout = [&aboutBoxes](QWidget* modal) {
        if (auto* about = qobject_cast<AboutDialog*>(modal)) {
            ++aboutBoxes;
            about->Ok()->click();
        }
    };
    rig.DuringApplicationDownload([&] {
        WhenModal(countAbout);
        rig.window->AboutAction()->trigger();
        rig.window->StartButton()->click();  // and stop, so the test stays short
    });
    rig.PressStart("pelican");
    QCoreApplication::processEvents();
    EXPECT_EQ(aboutBoxes, 0);
    WhenModal(countAbout);
    rig.window->AboutAction()->trigger();
    EXPECT_EQ(aboutBoxes, 1);
}

TEST(WindowMode, PortListChoiceRefreshAndUsbNames) {
    WindowRig rig;
    rig.ports.names = {{InProcessLink::kDevicePath, "USB RPI KVT 6700", "", "", "", "", ""}};
    rig.ports.waitCursorSeen = false;
    rig.window->UpdateComPortsAction()->trigger();
    EXPECT_TRUE(rig.ports.waitCursorSeen);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(rig.window->ComPortCombo()->itemText(kRadioPort - 1), "COM7 (6700 USB)");

    const struct {
        int chosen;    // COM number the technician picks
        int selected;  // COM number the list shows afterwards
    } choices[] = {{kRadioPort, kRadioPort}, {5, 3}, {200, 3}, {3, 3}};
    for (const auto& c : choices) {
        rig.Choose(c.chosen);
        EXPECT_EQ(rig.window->ComPortPosition() + 1, c.selected) << "COM" << c.chosen;
    }
    // The menu's refresh keeps the choice even when that port has gone.
    rig.Choose(kRadioPort);
    rig.ports.present = {3};
    rig.window->UpdateComPortsAction()->trigger();
    EXPECT_EQ(rig.window->ComPortPosition() + 1, kRadioPort);
    EXPECT_FALSE(rig.window->ComPortPresent(kRadioPort - 1));
}

TEST(WindowMode, AnAbsentPortIsRefusedBeforeAnythingIsWritten) {
    WindowRig rig;  // COM1 chosen, not present
    QString box;
    WhenModal([&box](QWidget* modal) {
        if (auto* dialog = qobject_cast<PasswordDialog*>(modal)) {
            AnswerNextBox(box);
            dialog->PasswordEdit()->setText("pelican");
            dialog->OkButton()->click();
        }
    });
    rig.window->StartButton()->click();
    EXPECT_EQ(box, "COM Port: Selected COM port is in use or not available.");
    EXPECT_FALSE(rig.JoinedFilesLeft());
    EXPECT_EQ(rig.link.radio.BytesToRadio(), 0);
    rig.ExpectIdle();
}

TEST(WindowMode, RetrieveFillsTheVersionPanelOrLeavesIt) {
    for (bool connected : {true, false}) {
        SCOPED_TRACE(connected ? "radio answers" : "line dead");
        WindowRig rig;
        rig.Choose(kRadioPort);
        rig.window->ToggleButton()->click();
        if (!connected) {
            rig.link.radio.Disconnect();
        }
        const QString before = rig.window->VersionValue(4)->text();
        QString box;
        AnswerNextBox(box);
        rig.window->RetrieveButton()->click();
        QCoreApplication::processEvents();
        if (connected) {
            EXPECT_EQ(box, "");
            EXPECT_EQ(rig.window->VersionValue(4)->text(), "12-34-56-78-9A-BC-DE-F0");
            // Drawn whole inside the panel, smaller if the face needs it.
            EXPECT_LE(rig.window->VersionValue(4)->geometry().right(),
                      rig.window->VersionGroup()->width());
            EXPECT_EQ(rig.window->VersionValue(1)->text(), "3.2.1");
        } else {
            EXPECT_EQ(box,
                      "Communication: Communication error while retrieving version information.");
            EXPECT_EQ(rig.window->VersionValue(4)->text(), before);
        }
        EXPECT_TRUE(rig.window->RetrieveButton()->isEnabled());
        // The port is free again: a second Retrieve connects as the first did.
        EXPECT_EQ(rig.mode->Ports().State(kRadioPort), ComPortList::kFree);
    }
}

}  // namespace
}  // namespace quillon::test
