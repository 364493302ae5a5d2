#pragma once

namespace quillon {

// Set by Stop or a confirmed close; every wait of a running operation ends when it is set.
// The program has one thread, so a plain flag suffices.
class CancelFlag {
public:
    void Cancel() { cancelled_ = true; }
    void Reset() { cancelled_ = false; }
    bool Cancelled() const { return cancelled_; }

private:
    bool cancelled_ = false;
};

}  // namespace quillon
