#pragma once

#include <cstdint>
#include <string>

namespace quillon {

// How a long operation (a download, a codeplug transfer, a restore) tells its owner how it is
// getting on. The window binds it to its status line, progress bar and console; the command-line
// tools to a terminal progress bar or one line per step. Every method has a do-nothing default,
// so an owner implements only what it shows.
class ProgressReport {
public:
    virtual ~ProgressReport() = default;

    // A new step begins (for example "loader", "code", "erase", "upload"); `total` is its amount
    // of work in the step's own unit (bytes, blocks, ticks), 0 when unknown.
    virtual void BeginStep(const std::string& /*name*/, int64_t /*total*/) {}
    // `done` of the current step's `total` is done.
    virtual void Advance(int64_t /*done*/, int64_t /*total*/) {}
    // The current step moves an image: `done` of its `total` bytes (the image's own bytes, not
    // the text of the file it came from nor the link's framing) have gone to the radio and been
    // taken, or have come from it. Reported next to Advance by the steps that move an image; it
    // reaches `total` exactly when the step succeeds. `total` is 0 when unknown.
    virtual void Bytes(int64_t /*done*/, int64_t /*total*/) {}
    // A text for the status line, exactly as the user is to see it.
    virtual void Status(const std::string& /*text*/) {}
    // A text for the console, written unchanged (it carries its own line feeds and carriage
    // returns).
    virtual void Console(const std::string& /*text*/) {}
};

// A report that goes nowhere.
inline ProgressReport& SilentReport() {
    static ProgressReport silent;
    return silent;
}

}  // namespace quillon
