#include "sim/RadioSimulator.h"

#include <utility>

#include "link/LinkTrace.h"
#include "link/MessageCodes.h"

namespace quillon::sim {

namespace {

// H2 of a reply spoiled by the wrong-header fault: the value requests carry.
constexpr uint8_t kWrongReplyH2 = RadioFramer::kMessageH2;

const Bytes kUnableReply{query::kFamily, query::kNotAvailable};
constexpr uint32_t kRestartSpeed = 19200;

// A request as the log shows it: the codeplug password's digits masked as in the updater's
// trace, its length and code bytes kept.
std::string Logged(const Bytes& message) {
    return LinkTrace::MessageHex(message.data(), static_cast<int>(message.size()));
}

// The bytes of a frame thrown away (H1 and H2 first, still stuffed), masked in the same way.
std::string LoggedRaw(const Bytes& raw) {
    constexpr int kHeaderBytes = 2;
    const int count = static_cast<int>(raw.size());
    const bool secret =
        count > kHeaderBytes && LinkTrace::Secret(raw.data() + kHeaderBytes, count - kHeaderBytes);
    return secret ? LinkTrace::MaskedHex(raw.data(), count, kHeaderBytes) : FormatHex(raw);
}

}  // namespace

RadioSimulator::RadioSimulator(RadioConfig config, FrameLog& log)
    : config_(std::move(config)),
      log_(log),
      queries_(config_),
      linkControl_(config_),
      download_(config_.download, [this] { return clock_ ? clock_() : 0; }),
      codeplug_(config_),
      faults_(config_.faults) {
    dispatcher_.Register(query::kFamily, queries_);
    dispatcher_.Register(linkcontrol::kFamily, linkControl_);
    dispatcher_.Register(loader::kFamily, download_);
    dispatcher_.Register(codeplug::kFamily, codeplug_);
}

std::vector<OutputStep> RadioSimulator::Receive(const uint8_t* data, size_t size) {
    std::vector<RadioFramer::Event> events;
    framer_.Feed(data, size, events);
    std::vector<OutputStep> steps;
    for (RadioFramer::Event& event : events) {
        if (lineDropped_) {
            break;
        }
        if (!event.good) {
            log_.Write("DROP", event.reason + ": " + LoggedRaw(event.raw));
            continue;
        }
        Request request{event.h2, std::move(event.payload)};
        log_.Write(request.IsProbe() ? "RX-PROBE" : "RX", Logged(request.payload));
        React(request, steps);
    }
    return steps;
}

void RadioSimulator::React(const Request& request, std::vector<OutputStep>& steps) {
    Reaction reaction = dispatcher_.Dispatch(request);
    if (!reaction.note.empty()) {
        log_.Write("NOTE", reaction.note);
    }
    if (reaction.dropLine) {
        lineDropped_ = true;
        log_.Write("LINE-DROPPED", Logged(request.payload));
        return;
    }
    std::optional<FaultRule> fault;
    if (!reaction.replies.empty()) {
        fault = faults_.Take(request.payload);
    }
    const size_t first = steps.size();
    if (fault && fault->silent) {
        log_.Write("SILENT", Logged(request.payload));
        reaction.replies.clear();
    } else if (fault) {
        if (fault->answerUnable) {
            reaction.replies.assign(1, kUnableReply);
        }
        const Bytes& spoilt = reaction.replies.front();
        if (fault->noise > 0) {
            Bytes noise = Noise(fault->noise);
            steps.push_back({0, noise, std::nullopt, "NOISE", FormatHex(noise)});
        }
        if (fault->badChecksumFirst) {
            steps.push_back(
                {0,
                 RadioFramer::BuildFrame(spoilt, RadioFramer::kReplyH1, RadioFramer::kReplyH2, 1),
                 std::nullopt, "TX-BADSUM", FormatHex(spoilt)});
        }
        if (fault->wrongH2First) {
            steps.push_back({0,
                             RadioFramer::BuildFrame(spoilt, RadioFramer::kReplyH1, kWrongReplyH2),
                             std::nullopt, "TX-BADH2", FormatHex(spoilt)});
        }
    }
    for (const Bytes& reply : reaction.replies) {
        steps.push_back({0, RadioFramer::BuildReply(reply), std::nullopt, "TX", FormatHex(reply)});
    }
    if (steps.size() > first) {
        // Before whatever goes out first.
        steps[first].delayMs = (fault ? fault->delayMs : 0) + reaction.delayMs;
    }
    if (reaction.newSpeed) {
        steps.push_back({0, {}, reaction.newSpeed, "SPEED", std::to_string(*reaction.newSpeed)});
    }
    if (reaction.restart) {
        std::vector<OutputStep> restart = Restart();
        steps.insert(steps.end(), restart.begin(), restart.end());
    }
}

std::vector<OutputStep> RadioSimulator::Restart() {
    ++restarts_;
    std::vector<OutputStep> steps;
    const RestartPlan& plan = config_.restart;
    if (plan.codeplugFormat) {
        config_.codeplugFormat = *plan.codeplugFormat;
    }
    log_.Write("NOTE", plan.enabled ? "restarting with the new code" : "new code written");
    if (!plan.enabled) {
        return steps;
    }
    // A restarted radio listens at the speed it starts with.
    steps.push_back({0, {}, kRestartSpeed, "SPEED", std::to_string(kRestartSpeed)});
    own_.clear();
    restartMs_.reset();
    int64_t offset = 0;
    for (RestartPlan::Message& message : plan.Messages()) {
        offset += message.delayMs;
        own_.push_back({offset, std::move(message.payload)});
    }
    return steps;
}

std::vector<OutputStep> RadioSimulator::Tick(int64_t nowMs) {
    std::vector<OutputStep> steps;
    if (own_.empty()) {
        return steps;
    }
    if (!restartMs_) {
        restartMs_ = nowMs;
    }
    size_t due = 0;
    while (due < own_.size() && *restartMs_ + own_[due].offsetMs <= nowMs) {
        const Bytes& payload = own_[due].payload;
        steps.push_back(
            {0, RadioFramer::BuildReply(payload), std::nullopt, "TX", FormatHex(payload)});
        ++due;
    }
    own_.erase(own_.begin(), own_.begin() + static_cast<std::ptrdiff_t>(due));
    return steps;
}

int64_t RadioSimulator::NextOwnMessageMs(int64_t nowMs) const {
    if (own_.empty()) {
        return kNoMessage;
    }
    return restartMs_ ? *restartMs_ + own_.front().offsetMs : nowMs;
}

Bytes RadioSimulator::Noise(int count) {
    Bytes noise;
    noise.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        noiseState_ = noiseState_ * 1103515245u + 12345u;
        auto byte = static_cast<uint8_t>(noiseState_ >> 16);
        // Noise never starts a frame, so it cannot turn into one by chance.
        noise.push_back(byte == RadioFramer::kStart ? 0x55 : byte);
    }
    return noise;
}

}  // namespace quillon::sim
