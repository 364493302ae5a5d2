// quillon-updater: with arguments, the command-line mode (the update runs unattended on the
// terminal and its outcome is the exit code); without, the window. The command-line mode needs
// no display; builds without the Qt parts have no window.

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/core/CodeplugBackup.h"
#include "app/core/ComPortPresence.h"
#include "app/core/CommandLine.h"
#include "app/core/ConsoleView.h"
#include "app/core/InterruptSignals.h"
#include "app/core/PasswordFile.h"
#include "app/core/ProcessorCount.h"
#include "app/core/ResourceTable.h"
#include "app/core/ReturnCodeHolder.h"
#include "app/core/SysfsPortDeviceNames.h"
#include "app/core/TerminalConsole.h"
#include "app/core/UpdateController.h"
#include "app/core/UpdateLog.h"
#include "app/core/UpdateSummary.h"
#include "app/core/Updater.h"
#include "platform/Terminal.h"
#include "serial/ComPortPath.h"
#include "serial/SystemSerial.h"
#include "serial/TraceFile.h"

#ifdef QUILLON_WITH_WINDOW
#include <QApplication>
#include <QSocketNotifier>

#include "app/MainWindow.h"
#include "app/WindowMode.h"
#include "app/core/qt/QtPortDeviceNames.h"
#include "serial/qt/QtEventPump.h"
#include "serial/qt/QtSerialLine.h"
#endif

namespace {

using namespace quillon;

// The running program's file, as the system reports it.
std::filesystem::path ProgramFile(const char* argv0) {
#ifdef _WIN32
    wchar_t self[MAX_PATH * 4];
    const DWORD n = ::GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    return n > 0 && n < MAX_PATH * 4 ? std::filesystem::path(self) : std::filesystem::path(argv0);
#else
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path(argv0) : self;
#endif
}

// The program's name in its texts: the file name, without the ".exe" of a Windows program, so
// that the texts are the same on every system.
std::string ProgramName(const std::filesystem::path& program) {
#ifdef _WIN32
    return program.stem().string();
#else
    return program.filename().string();
#endif
}

// A device path given on the command line gets a COM number of its own: COM 255 in a private
// folder, for the rest of the run.
class PathAsComPort {
public:
    ~PathAsComPort() {
        if (!folder_.empty()) {
            std::error_code error;
            std::filesystem::remove_all(folder_, error);
        }
    }
    int Publish(const std::string& path) {
#ifdef _WIN32
        // Windows names its ports COMn itself: the device path is a port already.
        (void)path;
        return 0;
#else
        char pattern[] = "/tmp/quillon-port-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            return 0;
        }
        folder_ = pattern;
        const std::string link = folder_ + "/com" + std::to_string(kNumber);
        if (symlink(path.c_str(), link.c_str()) != 0 ||
            setenv(ComPortPath::kDirVariable, folder_.c_str(), 1) != 0) {
            return 0;
        }
        return kNumber;
#endif
    }

private:
    static constexpr int kNumber = ComPortPath::kLast;
    std::string folder_;
};

// The console's last word on standard error, after everything the console wrote: what the
// return code means, why, and what to do next. A terminal's last console line has no end of
// line, so the summary starts a line of its own there.
void WriteSummary(const UpdateRecord& record, const std::string& programName) {
    const std::string line = UpdateSummary::Line(record, programName);
    // The console's last line ends without a line feed: where the summary would follow straight
    // on it, it begins a line of its own.
    const bool sameLine = IsTerminal(stderr) || SameDestination(stdout, stderr);
    std::fprintf(stderr, "%s%s", sameLine ? "\n" : "", line.c_str());
    std::fflush(stderr);
}

// A run refused before any update began (the command line, the password file) still leaves
// its line in the update log, so whoever started the updater finds why it ended.
UpdateRecord RefusedRun(const std::string& step, const std::string& why, const std::string& next) {
    UpdateRecord record;
    record.Begin(true);
    record.AddStep(step, UpdateRecord::Result::Failed, why);
    record.reason = why;
    record.nextStep = next;
    record.Finish(1);
    return record;
}

void AppendToLog(const UpdateRecord& record) {
    std::string error;
    const UpdateLog log(UpdateLog::DefaultPath());
    if (!log.Append(record, error)) {
        std::fprintf(stderr, "warning: the update log %s could not be written: %s\n",
                     log.Path().c_str(), error.c_str());
    }
}

// `pump` carries every wait; `port` is the line port mode opens (none: a build
// that needs port mode reports an open failure).
int RunConsoleMode(const std::vector<std::string>& args, const std::filesystem::path& program,
                   EventPump& pump, SerialLine* port, InterruptSignals& stopSignals) {
    int32_t returnCode = 0;
    ReturnCodeHolder returnCodeForm(&returnCode);

    TerminalConsole console;
    ConsoleView view(console);
    ComPortPresence presence;
    SysfsPortDeviceNames deviceNames;
    ResourceTable resources(EmbeddedResourceEntries());
    std::string passwordError;
    std::optional<std::string> password = PasswordFile::FromEnvironment(passwordError);
    Updater updater(UpdaterEnvironment{pump, SystemSerialLine::Factory(), port, presence,
                                       deviceNames, ProcessorCount, resources, program,
                                       CodeplugBackup::DefaultFolder(), view,
                                       UpdateLog::DefaultPath(), std::move(password)});
    updater.Controller().SetReturnCodeSink([&](int value) { returnCodeForm.SetReturnCode(value); });
    // A stop signal ends the run as Stop does in the window; the run returns its code for the
    // point it reached.
    stopSignals.Watch(&updater.Controller().Cancel());
    updater.Controller().SetStopRequested(&InterruptSignals::Pending);

    PathAsComPort pathPort;
    CommandLine::Hooks hooks;
    hooks.portAvailable = [](const ConsolePort& port) {
        const ComPortPath::State state =
            port.path.empty() ? ComPortPath::Probe(port.number) : ComPortPath::ProbePath(port.path);
        return state == ComPortPath::State::Present;
    };
    std::optional<UpdateRecord> outcome;
    hooks.runUpdate = [&](const ConsolePort& port) {
        if (!passwordError.empty()) {
            // An unattended run whose password cannot be used would upgrade the code and then
            // leave the codeplug behind: nothing is started.
            std::fprintf(stderr, "%s\n", passwordError.c_str());
            returnCodeForm.SetReturnCode(1);
            outcome = RefusedRun("password file", passwordError,
                                 "correct the file named by QUILLON_CODEPLUG_PASSWORD_FILE and "
                                 "run the updater again");
            AppendToLog(*outcome);
            return;
        }
        updater.RunConsoleUpdate(port.path.empty() ? port.number : pathPort.Publish(port.path));
        outcome = updater.Controller().Record();
    };
    hooks.setReturnCode = [&](int value) { returnCodeForm.SetReturnCode(value); };
    hooks.sleepMs = [&](int ms) { pump.SleepMs(ms); };
    CommandLine::Run(args, ProgramName(program), console, hooks);
    stopSignals.Watch(nullptr);
    const bool download = !args.empty() && args[0] != "/?";
    if (!outcome && download && returnCode != 0) {
        outcome = RefusedRun("command line", "the command line was refused",
                             "run the updater with /? for its options, and check that the port "
                             "is present and free");
        AppendToLog(*outcome);
    }
    if (outcome) {
        outcome->returnCode = returnCode;  // a stop signal may have changed it after the run
        WriteSummary(*outcome, program.filename().string());
    }
    return returnCode;
}

#ifdef QUILLON_WITH_WINDOW
// The name the window's Name and Release labels are read from: the program file's own when it
// carries a release (a copy named for its build), else the build's program name, since the
// installed program is plain quillon-updater.
std::string LabelName(const std::filesystem::path& program) {
    const std::string name = program.filename().string();
    return name.find("Release") != std::string::npos ? program.string() : EmbeddedProgramName();
}

int RunWindowMode(int argc, char** argv, const std::filesystem::path& program) {
    int32_t returnCode = 0;
    QApplication application(argc, argv);
    ReturnCodeHolder returnCodeForm(&returnCode);
    QApplication::setApplicationName(UpdateController::kTitle);
    QApplication::setApplicationDisplayName(UpdateController::kTitle);

    QtEventPump pump;
    ComPortPresence presence;
    QtPortDeviceNames deviceNames;
    QtSerialLine port;
    ResourceTable resources(EmbeddedResourceEntries());
    MainWindow window;
    WindowMode mode(
        window,
        UpdaterEnvironment{pump, PosixSerialLine::Factory(), &port, presence, deviceNames,
                           ProcessorCount, resources, program, CodeplugBackup::DefaultFolder(),
                           window, UpdateLog::DefaultPath()},
        LabelName(program));
    window.show();
    application.exec();
    returnCodeForm.SetReturnCode(mode.ReturnCode());
    return returnCode;
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // The texts go out byte for byte, line feeds as they are, as on every other system.
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
#endif
    const std::filesystem::path program = ProgramFile(argv[0]);
    std::string traceError;
    if (!TraceFile::InstallFromEnvironment(traceError)) {
        std::fprintf(stderr, "%s\n", traceError.c_str());
    }
    if (argc <= 1) {
#ifdef QUILLON_WITH_WINDOW
        return RunWindowMode(argc, argv, program);
#else
        std::printf("%s: this build has no window. Run it with /? for the command-line mode.\n",
                    ProgramName(program).c_str());
        return 0;
#endif
    }
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string signalError;
    const std::unique_ptr<InterruptSignals> stopSignals = InterruptSignals::Install(signalError);
    if (stopSignals == nullptr) {
        std::fprintf(stderr, "%s\n", signalError.c_str());
        return 1;
    }
#ifdef QUILLON_WITH_WINDOW
    // Port mode's serial line runs on the Qt event loop, so the waits go through it too; no
    // display is needed for that. The loop goes on sleeping after an interrupted system call, so
    // it watches the descriptor of the stop signals to wake.
    QCoreApplication application(argc, argv);
    QtEventPump pump;
    QSocketNotifier stopNotifier(stopSignals->Fd(), QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated,
                     [&stopNotifier] { stopNotifier.setEnabled(false); });
    QtSerialLine port;
    return RunConsoleMode(args, program, pump, &port, *stopSignals);
#else
    SystemEventPump pump;
#ifdef _WIN32
    pump.AddWakeEvent(stopSignals->WakeEvent());
#endif
    return RunConsoleMode(args, program, pump, nullptr, *stopSignals);
#endif
}
