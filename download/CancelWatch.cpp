#include "download/CancelWatch.h"

#include "link/ProtocolTiming.h"

namespace quillon {

CancelWatch::CancelWatch(const DownloadContext& context) {
    if (context.cancel == nullptr) {
        return;
    }
    timer_ = context.pump.CreateTimer();
    timer_->SetInterval(timing::kCancelPollMs);
    CommSession* link = &context.link;
    const CancelFlag* cancel = context.cancel;
    timer_->SetCallback([link, cancel] {
        if (cancel->Cancelled()) {
            link->SetActive(false);
        }
    });
    timer_->Start();
}

CancelWatch::~CancelWatch() {
    if (timer_) {
        timer_->Stop();
    }
}

}  // namespace quillon
