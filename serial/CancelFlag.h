#pragma once

#include <atomic>

namespace quillon {

// Set by whoever wants the current wait to end (the Stop button, a stop signal's handler); read
// by the waits. One thread, but a signal handler may set it between any two instructions, so
// the flag is a lock-free atomic, which a handler may write safely.
class CancelFlag {
public:
    void Cancel() { cancelled_.store(true, std::memory_order_relaxed); }
    void Reset() { cancelled_.store(false, std::memory_order_relaxed); }
    bool Cancelled() const { return cancelled_.load(std::memory_order_relaxed); }

private:
    static_assert(std::atomic<bool>::is_always_lock_free);
    std::atomic<bool> cancelled_{false};
};

}  // namespace quillon
