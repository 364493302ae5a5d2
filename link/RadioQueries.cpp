#include "link/RadioQueries.h"

#include <algorithm>
#include <cstring>

#include "link/MessageCatalogue.h"
#include "link/MessageCodes.h"
#include "link/ProtocolTiming.h"

namespace quillon {

namespace {

bool IsOneOf(uint8_t value, std::initializer_list<uint8_t> set) {
    return std::find(set.begin(), set.end(), value) != set.end();
}

// Copies the data bytes of `reply` (after its two code bytes) into `out`, as many as `out`
// holds; what the reply does not carry stays zero.
void CopyData(const CommMessage& reply, uint8_t* out, int outLength) {
    std::memset(out, 0, static_cast<size_t>(outLength));
    const int available = std::clamp(reply.Length - 2, 0, outLength);
    std::memcpy(out, reply.Data + 2, static_cast<size_t>(available));
}

void SendRequest(CommSession& link, int32_t requestId) {
    CommMessage request;
    BuildRequest(request, requestId);
    link.SendMessage(request);
}

// One query step: the request, then the data reply or 04 20. On status 1 the reply's data
// bytes go to `out`, or zeros when the radio answered 04 20. `notAvailable` tells which came.
int Query(CommSession& link, int32_t requestId, int32_t replyId, uint8_t* out, int outLength,
          bool& notAvailable) {
    SendRequest(link, requestId);
    CommMessage replyA;
    CommMessage replyB;
    BuildRequest(replyA, replyId);
    BuildRequest(replyB, msgid::kNotAvailable);
    int which = -1;
    const CommMessage reply = link.ReceiveReply(replyA, ReplyLength(replyId), replyB,
                                                ReplyLength(msgid::kNotAvailable), which);
    const int status = link.ReplyStatus();
    notAvailable = status == kReplyReceived && which == 1;
    if (status == kReplyReceived) {
        if (notAvailable) {
            std::memset(out, 0, static_cast<size_t>(outLength));
        } else {
            CopyData(reply, out, outLength);
        }
    }
    return status;
}

int Query(CommSession& link, int32_t requestId, int32_t replyId, uint8_t* out, int outLength) {
    bool notAvailable = false;
    return Query(link, requestId, replyId, out, outLength, notAvailable);
}

}  // namespace

int ReadVersionInfo(CommSession& link, uint8_t radioType, VersionInfo& info, bool askSem) {
    link.SetTimeout(timing::kQueryTimeoutMs);

    struct Step {
        int32_t request;
        int32_t reply;
        uint8_t* out;
        int length;
    };
    const Step steps[] = {
        {msgid::kFileFormatRequest, msgid::kFileFormatReply, info.FileVersion, 2},
        {msgid::kDspVersionRequest, msgid::kDspVersionReply, info.DSPVersion, 3},
        {msgid::kControllerVersionRequest, msgid::kControllerVersionReply, info.ControllerVersion,
         3},
        {msgid::kHardwareRevisionRequest, msgid::kHardwareRevisionReply, info.HardwareRevision, 3},
        {msgid::kSerialNumberRequest, msgid::kSerialNumberReply, info.SerialNumber, 8},
    };
    for (const Step& step : steps) {
        const int status = Query(link, step.request, step.reply, step.out, step.length);
        if (status != kReplyReceived) {
            return status;
        }
    }

    int result = kReplyReceived;
    const int bootStatus =
        Query(link, msgid::kBootVersionRequest, msgid::kBootVersionReply, info.BootVersion, 2);
    if (bootStatus != kReplyReceived) {
        if (IsOneOf(radioType, {1, 5, 7})) {
            std::memset(info.BootVersion, 0, sizeof info.BootVersion);
            result = kQueryNoBootVersion;
        } else {
            result = bootStatus;
        }
    }

    std::memset(info.SEMVersion, 0, sizeof info.SEMVersion);
    if (!askSem) {
        return result;
    }
    if ((result != kReplyReceived && result != kQueryNoBootVersion) ||
        !IsOneOf(radioType, {0, 1, 4, 5, 6, 7, 8}) ||
        !IsOneOf(info.ControllerVersion[0], {2, 4, 6})) {
        return result;
    }

    SendRequest(link, msgid::kSemVersionRequest);
    const CommMessage reply = link.ReceiveAnyFrame();
    if (link.ReplyStatus() == kReplyReceived) {
        CopyData(reply, info.SEMVersion, 2);
    } else {
        result = kQuerySemFailed;
    }
    return result;
}

int ReadBootVersion(CommSession& link, uint8_t radioType, uint8_t bootVersion[2]) {
    link.SetTimeout(timing::kQueryTimeoutMs);
    uint8_t version[2] = {};
    bool notAvailable = false;
    int status =
        Query(link, msgid::kBootVersionRequest, msgid::kBootVersionReply, version, 2, notAvailable);
    if (link.PortMode()) {
        // A radio that is not ready yet answers 04 20: ask again while the link is active, but
        // not for ever.
        for (int asks = 1; asks < timing::kMaxBootVersionAsks && status == kReplyReceived &&
                           notAvailable && link.Active();
             ++asks) {
            status = Query(link, msgid::kBootVersionRequest, msgid::kBootVersionReply, version, 2,
                           notAvailable);
        }
    }
    if (IsOneOf(radioType, {1, 5, 7, 8})) {
        if (status != kReplyReceived) {
            bootVersion[0] = 0;
            bootVersion[1] = 0;
            return kQueryNoBootVersion;
        }
        std::memcpy(bootVersion, version, 2);
        return kReplyReceived;
    }
    if (status == kReplyReceived) {
        std::memcpy(bootVersion, version, 2);
    }
    return status;
}

bool IsRestartMessage(const CommMessage& message) {
    return message.HasCode(radiostatus::kFamily, radiostatus::kRestarted) ||
           message.HasCode(linkcontrol::kFamily, linkcontrol::kControlHeadUpdate);
}

int ReceivePastRestartMessages(CommSession& link, EventPump& clock, CommMessage& message) {
    const uint32_t timeoutMs = link.TimeoutMs();
    const int64_t deadline = clock.NowMs() + timeoutMs;
    for (;;) {
        link.SetActive(true);
        CommMessage received;
        const int result = link.Receive(received);
        if (result != 1) {
            link.SetTimeout(timeoutMs);
            return result;
        }
        const int64_t left = deadline - clock.NowMs();
        if (!IsRestartMessage(received) || left <= 0) {
            link.SetTimeout(timeoutMs);
            if (IsRestartMessage(received)) {
                return -1;  // the time was used up by restart messages
            }
            message = received;
            return 1;
        }
        link.SetTimeout(static_cast<uint32_t>(left));
    }
}

int ReadRadioInfo(CommSession& link, EventPump& clock, uint8_t radioInfo[10]) {
    std::memset(radioInfo, 0, 10);
    link.SetTimeout(timing::kShortQueryTimeoutMs);
    link.SetActive(true);
    SendRequest(link, msgid::kRadioInfoRequest);
    CommMessage reply;
    if (ReceivePastRestartMessages(link, clock, reply) != 1) {
        return link.ReplyStatus() == kReplyReceived ? kReplyWaitEnded : link.ReplyStatus();
    }
    CopyData(reply, radioInfo, 10);
    return kReplyReceived;
}

int ReadRadioInfo(CommSession& link, uint8_t radioInfo[10]) {
    std::memset(radioInfo, 0, 10);
    link.SetTimeout(timing::kShortQueryTimeoutMs);
    link.SetActive(false);
    SendRequest(link, msgid::kRadioInfoRequest);
    link.SetActive(true);
    const CommMessage reply = link.ReceiveAnyFrame();
    const int status = link.ReplyStatus();
    if (status == kReplyReceived) {
        CopyData(reply, radioInfo, 10);
    }
    return status;
}

}  // namespace quillon
