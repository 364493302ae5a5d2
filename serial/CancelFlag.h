#pragma once

namespace quillon {

// Set by whoever wants the current wait to end (the Stop button, a signal handler's flag poll);
// read by the waits. One thread.
class CancelFlag {
public:
    void Cancel() { cancelled_ = true; }
    void Reset() { cancelled_ = false; }
    bool Cancelled() const { return cancelled_; }

private:
    bool cancelled_ = false;
};

}  // namespace quillon
