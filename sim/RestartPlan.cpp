#include "sim/RestartPlan.h"

#include "link/MessageCodes.h"

namespace quillon::sim {

std::vector<RestartPlan::Message> RestartPlan::Messages() const {
    std::vector<Message> messages;
    if (!enabled) {
        return messages;
    }
    const Bytes announce{radiostatus::kFamily, radiostatus::kRestarted};
    std::vector<Bytes> heads;
    if (addressConflict) {
        heads.push_back({linkcontrol::kFamily, linkcontrol::kControlHeadUpdate, 0x00, 0x01});
    } else {
        for (int i = 0; i < controlHeads; ++i) {
            heads.push_back({linkcontrol::kFamily, linkcontrol::kControlHeadUpdate, 0x00, 0x00});
        }
    }
    if (announceFirst) {
        messages.push_back({delayMs, announce});
    }
    for (const Bytes& head : heads) {
        messages.push_back({messages.empty() ? delayMs : headMs, head});
    }
    if (!announceFirst) {
        messages.push_back({messages.empty() ? delayMs : headMs, announce});
    }
    return messages;
}

}  // namespace quillon::sim
