// The window's responsiveness during an update. The program builds the window and window mode
// as the updater does (Qt event loop as the event pump, the machine's serial devices and port
// list, the embedded images), starts quillon-radiosim as COM 7 in a private COM folder, types
// the service access code into the password dialog and runs a whole update. Meanwhile a 10 ms
// timer records how late each of its firings comes (the gap since the previous one minus
// 10 ms): a wait that does not keep the loop running, or a step that holds it, shows as a late
// firing. Prints p50, p99 and max lateness, the update's and the download's duration, the
// ratio p99 / 50 ms and the slowest firings with the status line shown at the time. Exits 1
// when the update did not end in "Done." (followed by where the codeplug was saved) or p99 is 50 ms
// or more.

#include <stdlib.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "app/PasswordDialog.h"
#include "app/WindowMode.h"
#include "app/core/CodeplugBackup.h"
#include "app/core/ComPortPresence.h"
#include "app/core/ProcessorCount.h"
#include "app/core/ResourceTable.h"
#include "app/core/UpdateController.h"
#include "app/core/qt/QtPortDeviceNames.h"
#include "serial/posix/PosixSerialLine.h"
#include "serial/qt/QtEventPump.h"
#include "serial/qt/QtSerialLine.h"
#include "tests/sim/SimProcess.h"

namespace {

using namespace quillon;
using quillon::sim::testing::SimProcess;
using quillon::sim::testing::TempDir;
using Clock = std::chrono::steady_clock;

constexpr int kComNumber = 7;
constexpr double kIntervalMs = 10.0;
constexpr double kTargetMs = 50.0;

double MsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// One firing of the 10 ms timer: how late it came, when, and what the status line said.
struct Sample {
    double latenessMs;
    double atMs;  // since Start
    std::string status;
};

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const size_t index = std::min(
        values.size() - 1, static_cast<size_t>(fraction * static_cast<double>(values.size())));
    return values[index];
}

// Answers the modal windows an update brings up: the access code into the password dialog, the
// default button of a message box (its text is kept to be printed).
class ModalAnswerer : public QObject {
public:
    explicit ModalAnswerer(std::string code) : code_(std::move(code)) {
        timer_.setInterval(20);
        connect(&timer_, &QTimer::timeout, this, [this] { Answer(); });
        timer_.start();
    }
    const std::vector<std::string>& Boxes() const { return boxes_; }
    int Dialogs() const { return dialogs_; }

private:
    void Answer() {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<PasswordDialog*>(modal)) {
            ++dialogs_;
            dialog->PasswordEdit()->setText(QString::fromStdString(code_));
            dialog->OkButton()->click();
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxes_.push_back(box->text().toStdString());
            QAbstractButton* button = box->defaultButton();
            if (button == nullptr && !box->buttons().isEmpty()) {
                button = box->buttons().first();
            }
            if (button != nullptr) {
                button->click();
            }
        }
    }

    std::string code_;
    QTimer timer_;
    std::vector<std::string> boxes_;
    int dialogs_ = 0;
};

int Run(int argc, char** argv) {
    TempDir dir;
    const std::string comDir = dir.Path() + "/com";
    const std::string runDir = dir.Path() + "/run";
    std::filesystem::create_directories(comDir);
    std::filesystem::create_directories(runDir);
    std::filesystem::create_directories(dir.Path() + "/data");
    setenv("QUILLON_COM_DIR", comDir.c_str(), 1);
    setenv("XDG_DATA_HOME", (dir.Path() + "/data").c_str(), 1);
    // The joined image files of an update go to the current folder.
    if (chdir(runDir.c_str()) != 0) {
        std::printf("cannot enter %s\n", runDir.c_str());
        return 1;
    }

    const std::string written = dir.Path() + "/written.cpl";
    SimProcess radio({"--com", std::to_string(kComNumber), "--scenario",
                      QUILLON_SOURCE_DIR "/sim/scenarios/update-normal.json", "--codeplug",
                      QUILLON_SOURCE_DIR "/sim/scenarios/codeplug-5.9.cpl", "--codeplug-out",
                      written, "--code-out", dir.Path() + "/code.bin"});
    const std::string device = radio.FirstLine();
    if (device.empty()) {
        std::printf("the virtual radio did not start: %s\n", radio.ErrorText().c_str());
        return 1;
    }

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    QtEventPump pump;
    ComPortPresence presence;
    QtPortDeviceNames deviceNames;
    QtSerialLine port;
    ResourceTable resources(EmbeddedResourceEntries());
    MainWindow window;
    WindowMode mode(
        window,
        UpdaterEnvironment{pump, PosixSerialLine::Factory(), &port, presence, deviceNames,
                           ProcessorCount, resources,
                           std::filesystem::path(QUILLON_BINARY_DIR "/app/quillon-updater"),
                           CodeplugBackup::DefaultFolder(), window},
        EmbeddedProgramName());
    window.show();
    mode.ComPortChosen(kComNumber - 1);
    if (window.ComPortPosition() != kComNumber - 1) {
        std::printf("COM %d is not in the port list (position %d chosen)\n", kComNumber,
                    window.ComPortPosition());
        return 1;
    }

    ModalAnswerer answerer("pelican");
    std::vector<Sample> samples;
    Clock::time_point started;
    Clock::time_point last;
    bool sawRunning = false;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(static_cast<int>(kIntervalMs));
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        sawRunning = sawRunning || mode.Controller().Running();
        if (sawRunning && !mode.Controller().Running()) {
            ticker.stop();  // the update has ended
            return;
        }
        samples.push_back(Sample{MsBetween(last, now) - kIntervalMs, MsBetween(started, now),
                                 window.StatusText().toStdString()});
        last = now;
    });

    double updateMs = 0.0;
    QTimer::singleShot(0, [&] {
        started = Clock::now();
        last = started;
        ticker.start();
        // The whole update runs inside this call, the event loop turning in its waits.
        mode.StartClicked();
        ticker.stop();
        updateMs = MsBetween(started, Clock::now());
        application.quit();
    });
    application.exec();

    const std::string finalStatus = window.StatusText().toStdString();
    std::vector<double> lateness;
    // The status lines in the order shown, with when each came and how long it stayed.
    struct Shown {
        std::string status;
        double fromMs;
        double forMs;
    };
    std::vector<Shown> statusMs;
    for (size_t i = 0; i < samples.size(); ++i) {
        lateness.push_back(samples[i].latenessMs);
        const double until = i + 1 < samples.size() ? samples[i + 1].atMs : updateMs;
        if (statusMs.empty() || statusMs.back().status != samples[i].status) {
            statusMs.push_back(Shown{samples[i].status, samples[i].atMs, 0.0});
        }
        statusMs.back().forMs += until - samples[i].atMs;
    }
    double downloadMs = 0.0;
    for (const Shown& shown : statusMs) {
        if (shown.status.find("ownload") != std::string::npos) {
            downloadMs += shown.forMs;
        }
    }
    const double p50 = Percentile(lateness, 0.50);
    const double p99 = Percentile(lateness, 0.99);
    const double max = lateness.empty() ? 0.0 : *std::max_element(lateness.begin(), lateness.end());

    std::printf("virtual radio: %s as COM %d; password dialogs answered: %d\n", device.c_str(),
                kComNumber, answerer.Dialogs());
    for (const std::string& box : answerer.Boxes()) {
        std::printf("message box: %s\n", box.c_str());
    }
    std::printf("status lines shown:\n");
    for (const Shown& shown : statusMs) {
        std::printf("  from %6.0f ms for %6.0f ms  %s\n", shown.fromMs, shown.forMs,
                    shown.status.c_str());
    }
    std::vector<Sample> slowest = samples;
    std::sort(slowest.begin(), slowest.end(),
              [](const Sample& a, const Sample& b) { return a.latenessMs > b.latenessMs; });
    slowest.resize(std::min<size_t>(slowest.size(), 5));
    std::printf("slowest firings:\n");
    for (const Sample& s : slowest) {
        std::printf("  %7.1f ms late at %8.0f ms, status \"%s\"\n", s.latenessMs, s.atMs,
                    s.status.c_str());
    }
    std::printf("final status: \"%s\"; codeplug written back: %s\n", finalStatus.c_str(),
                std::filesystem::exists(written) ? "yes" : "no");
    std::printf("update %.1f s, download %.1f s (status lines naming the download)\n",
                updateMs / 1000.0, downloadMs / 1000.0);
    std::printf("10 ms timer over %zu firings: lateness p50 %.2f ms, p99 %.2f ms, max %.2f ms\n",
                lateness.size(), p50, p99, max);
    std::printf("p99 / %.0f ms target: %.3f (aim < 1)\n", kTargetMs, p99 / kTargetMs);

    const bool completed = finalStatus.rfind("Done.", 0) == 0 && std::filesystem::exists(written);
    if (!completed) {
        std::printf("FAIL: the update did not complete\n");
    }
    if (p99 >= kTargetMs) {
        std::printf("FAIL: p99 lateness is %.1f ms, the target is below %.0f ms\n", p99, kTargetMs);
    }
    return completed && p99 < kTargetMs ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    return Run(argc, argv);
}
