#include "sim/LinkControlResponder.h"

#include "link/MessageCodes.h"

namespace quillon::sim {

std::optional<uint32_t> LinkControlResponder::SpeedForCode(uint8_t code) {
    switch (code) {
        case 0:
            return 9600;
        case 1:
            return 19200;
        case 3:
            return 38400;
        case 4:
            return 57600;
        case 5:
            return 115200;
        default:
            return std::nullopt;
    }
}

Reaction LinkControlResponder::Respond(const Request& request) {
    Reaction reaction;
    const Bytes& payload = request.payload;
    const uint8_t code = payload.size() >= 2 ? payload[1] : 0xFF;
    if (code == linkcontrol::kSetSpeed && !request.IsProbe()) {
        if (payload.size() != 3) {
            reaction.note = "speed change without exactly one data byte ignored";
        } else if (auto speed = SpeedForCode(payload[2])) {
            reaction.newSpeed = speed;
        } else {
            reaction.note = "unknown speed code " + FormatHex(&payload[2], 1) + ", speed kept";
        }
    } else if (code == linkcontrol::kInterfaceProbe && request.IsProbe()) {
        if (payload.size() != 5) {
            reaction.note = "probe without exactly three data bytes ignored";
        } else if (!config_.box) {
            reaction.note = "probe not answered: no interface box";
        } else {
            Bytes reply{linkcontrol::kFamily, linkcontrol::kInterfaceReply};
            reply.insert(reply.end(), config_.boxData.begin(), config_.boxData.end());
            reaction.replies.push_back(std::move(reply));
        }
    } else {
        reaction.note = request.IsProbe() ? "unknown message with the probe header"
                                          : "unknown link-control message";
    }
    return reaction;
}

}  // namespace quillon::sim
