#include "sim/MessageDispatcher.h"

namespace quillon::sim {

void MessageDispatcher::Register(uint8_t family, FamilyResponder& responder) {
    units_[family] = &responder;
}

Reaction MessageDispatcher::Dispatch(const Request& request) {
    if (request.payload.empty()) {
        Reaction reaction;
        reaction.note = "empty message ignored";
        return reaction;
    }
    FamilyResponder* unit = units_[request.payload[0]];
    if (unit == nullptr) {
        Reaction reaction;
        reaction.note = "no handling for family " + FormatHex(request.payload.data(), 1);
        return reaction;
    }
    return unit->Respond(request);
}

}  // namespace quillon::sim
