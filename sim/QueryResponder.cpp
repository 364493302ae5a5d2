#include "sim/QueryResponder.h"

namespace quillon::sim {

namespace {

template <size_t N>
Bytes Answer(uint8_t code, const std::array<uint8_t, N>& data) {
    Bytes reply{0x04, code};
    reply.insert(reply.end(), data.begin(), data.end());
    return reply;
}

}  // namespace

Reaction QueryResponder::Respond(const Request& request) {
    Reaction reaction;
    const Bytes& payload = request.payload;
    if (request.IsProbe()) {
        reaction.note = "query with the probe header ignored";
        return reaction;
    }
    if (payload.size() != 2) {
        reaction.note = "query with data bytes ignored";
        return reaction;
    }
    switch (payload[1]) {
        case 0x1C:
            reaction.replies.push_back(Answer(0x1D, config_.codeplugFormat));
            break;
        case 0x0B:
            reaction.replies.push_back(Answer(0x0C, config_.dspVersion));
            break;
        case 0x09:
            reaction.replies.push_back(Answer(0x0A, config_.controllerVersion));
            break;
        case 0x07:
            reaction.replies.push_back(Answer(0x08, config_.hardwareRevision));
            break;
        case 0x04:
            reaction.replies.push_back(Answer(0x05, config_.serialNumber));
            break;
        case 0x2D:
            reaction.replies.push_back(Answer(0x2E, config_.bootVersion));
            break;
        case 0x3E:
            reaction.replies.push_back(Answer(0x3F, config_.semVersion));
            break;
        case 0x67:
            reaction.replies.push_back(
                Answer(0x68, std::array<uint8_t, 1>{static_cast<uint8_t>(config_.portable)}));
            break;
        case 0x6F:
            reaction.replies.push_back(Answer(0x70, config_.radioInfo));
            break;
        default:
            reaction.note = "unknown query";
            break;
    }
    return reaction;
}

}  // namespace quillon::sim
