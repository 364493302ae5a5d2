#include "sim/QueryResponder.h"

#include "link/MessageCodes.h"

namespace quillon::sim {

using namespace query;

namespace {

template <size_t N>
Bytes Answer(uint8_t code, const std::array<uint8_t, N>& data) {
    Bytes reply{kFamily, code};
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
        case kFileFormatRequest:
            reaction.replies.push_back(Answer(kFileFormatReply, config_.codeplugFormat));
            break;
        case kDspVersionRequest:
            reaction.replies.push_back(Answer(kDspVersionReply, config_.dspVersion));
            break;
        case kControllerVersionRequest:
            reaction.replies.push_back(Answer(kControllerVersionReply, config_.controllerVersion));
            break;
        case kHardwareRevisionRequest:
            reaction.replies.push_back(Answer(kHardwareRevisionReply, config_.hardwareRevision));
            break;
        case kSerialNumberRequest:
            reaction.replies.push_back(Answer(kSerialNumberReply, config_.serialNumber));
            break;
        case kBootVersionRequest:
            reaction.replies.push_back(Answer(kBootVersionReply, config_.bootVersion));
            break;
        case kSemVersionRequest:
            reaction.replies.push_back(Answer(kSemVersionReply, config_.semVersion));
            break;
        case kRadioKindRequest:
            reaction.replies.push_back(Answer(
                kRadioKindReply, std::array<uint8_t, 1>{static_cast<uint8_t>(config_.portable)}));
            break;
        case kRadioInfoRequest:
            reaction.replies.push_back(Answer(kRadioInfoReply, config_.radioInfo));
            break;
        default:
            reaction.note = "unknown query";
            break;
    }
    return reaction;
}

}  // namespace quillon::sim
