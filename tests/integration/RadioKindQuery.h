#pragma once

#include <cstdint>

#include "link/Comm.h"
#include "link/MessageCatalogue.h"

namespace quillon::test {

// The portable/mobile question as the identification step asks it: 04 67, any frame within
// 500 ms, accepted only when it is 04 68. Returns the link status, or 4 when another frame came;
// `kind` is the answer's data byte (1 portable, 0 mobile) on status 1.
inline int AskRadioKind(CommSession& link, uint8_t& kind) {
    link.SetTimeout(500);
    CommMessage request;
    BuildRequest(request, msgid::kRadioKindRequest);
    link.SendMessage(request);
    link.SetActive(true);
    const CommMessage reply = link.ReceiveAnyFrame();
    const int status = link.ReplyStatus();
    if (status != kReplyReceived) {
        return status;
    }
    if (!reply.HasCode(0x04, 0x68) || reply.Length != ReplyLength(msgid::kRadioKindReply)) {
        return kReplyWaitEnded;
    }
    kind = reply.Data[2];
    return kReplyReceived;
}

}  // namespace quillon::test
