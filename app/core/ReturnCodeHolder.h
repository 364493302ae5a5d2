#pragma once

#include <cstdint>

namespace quillon {

// The hidden form through which any part of the program sets the process return code. It
// holds a pointer to the integer the entry function returns; it is never shown.
class ReturnCodeHolder {
public:
    static constexpr char kCaption[] = "For App's Return Code Only";

    explicit ReturnCodeHolder(int32_t* returnCode) : returnCode_(returnCode) {}
    void SetReturnCode(int32_t value) {
        if (returnCode_ != nullptr) {
            *returnCode_ = value;
        }
    }

private:
    int32_t* returnCode_;
};

}  // namespace quillon
