#pragma once

#include <memory>

#include "download/DownloadContext.h"

namespace quillon {

// While it lives, a cancel ends the session's wait in progress promptly: a pump timer looks at
// the cancel flag and clears the session's Active flag once it is set.
class CancelWatch {
public:
    explicit CancelWatch(const DownloadContext& context);
    ~CancelWatch();
    CancelWatch(const CancelWatch&) = delete;
    CancelWatch& operator=(const CancelWatch&) = delete;

private:
    std::unique_ptr<Timer> timer_;
};

}  // namespace quillon
