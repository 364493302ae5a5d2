#pragma once

#ifndef _WIN32
#include <termios.h>
#endif

#include <memory>
#include <string>

#include "serial/CancelFlag.h"

namespace quillon {

// SIGINT, SIGTERM and SIGHUP turned into a stop request, as the Stop button is in the window.
// The first signal cancels the watched flag, makes Fd() readable (for an event loop that does
// not return on an interrupted system call) and interrupts the system call in progress, so the
// current wait ends and the run unwinds through its own failure path: files removed, the port
// closed and restored. The signal also interrupts once more a moment later, for a wait that had
// looked at the flag just before the signal and then gone to sleep. A second signal ends the
// program at once with 128 + its number, after putting back the terminal settings kept with
// KeepTerminal. A stop signal ignored when the program started (nohup, a background job of a
// shell) stays ignored. SIGPIPE is ignored. One instance at a time; the handlers go with it.
//
// On Windows, Ctrl-C and Ctrl-Break count as SIGINT, closing the console window as SIGHUP and
// logging off or shutting down as SIGTERM (through the console's control handler); the first
// sets the watched flag and WakeEvent() instead of interrupting a system call.
class InterruptSignals {
public:
    ~InterruptSignals();
    InterruptSignals(const InterruptSignals&) = delete;
    InterruptSignals& operator=(const InterruptSignals&) = delete;

    static std::unique_ptr<InterruptSignals> Install(std::string& error);

    // The flag a signal cancels (null: none). A signal that came before is applied at once.
    void Watch(CancelFlag* flag);
    // Readable once a signal has come.
    int Fd() const;
#ifdef _WIN32
    // An event (a HANDLE) set once a stop request has come, for the event pump to wake on.
    static void* WakeEvent();
    using TerminalSettings = unsigned long;  // the console's input mode
#else
    using TerminalSettings = termios;
#endif

    // Whether a stop signal has come, and which (0: none). Usable with no instance installed.
    static bool Pending();
    static int Signal();
    // Terminal settings of `fd` that a second signal puts back before ending the program
    // (a password prompt that turned echo off), and their release.
    static void KeepTerminal(int fd, const TerminalSettings& settings);
    static void ReleaseTerminal();

    // The exit code of a program that ends because of `signal`.
    static int ExitCodeFor(int signal) {
        return 128 + signal;
    }

private:
    InterruptSignals() = default;
};

}  // namespace quillon
