#include "tools/quillon-tool/FleetRunner.h"

#include <poll.h>
#include <signal.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>

#include "app/core/InterruptSignals.h"

namespace quillon::tool {
namespace {

constexpr char kPasswordVariable[] = "QUILLON_CODEPLUG_PASSWORD_FILE";

// The JSON object on the query's output (its last line that is one).
nlohmann::ordered_json QueryAnswer(const std::string& output) {
    nlohmann::ordered_json answer;
    std::size_t start = 0;
    while (start < output.size()) {
        const std::size_t end = std::min(output.find('\n', start), output.size());
        if (output[start] == '{') {
            nlohmann::ordered_json line =
                nlohmann::ordered_json::parse(output.substr(start, end - start), nullptr, false);
            if (line.is_object()) {
                answer = std::move(line);
            }
        }
        start = end + 1;
    }
    return answer;
}

// The first line of a failed query's output, to say why a port was skipped.
std::string FirstLine(const std::string& output) {
    const std::string line = output.substr(0, output.find('\n'));
    return line.empty() ? "no answer to the version query" : line;
}

}  // namespace

FleetRunner::FleetRunner(FleetPrograms programs, int jobs, int stopFd, FleetDisplay& display)
    : programs_(std::move(programs)),
      jobs_(jobs),
      stopFd_(stopFd),
      display_(display),
      log_(programs_.logPath) {}

void FleetRunner::Run(std::vector<FleetRadio>& radios) {
    StartNext(radios);
    while (!slots_.empty()) {
        std::vector<pollfd> fds;
        if (!stopped_ && stopFd_ >= 0) {
            fds.push_back({stopFd_, POLLIN, 0});
        }
        const std::size_t firstSlot = fds.size();
        for (const auto& slot : slots_) {
            fds.push_back({slot->child.OutputFd(), POLLIN, 0});  // -1 once ended: left out
            fds.push_back({slot->child.EndFd(), POLLIN, 0});
        }
        const int timeout = display_.Refresh(radios);
        if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) {
            break;
        }
        if (!stopped_ && firstSlot == 1 && fds[0].revents != 0) {
            Stop(radios);
        }
        std::vector<bool> ended(slots_.size(), false);
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            Slot& slot = *slots_[i];
            FleetRadio& radio = radios[slot.radio];
            const pollfd& out = fds[firstSlot + 2 * i];
            if (out.revents != 0) {
                const std::size_t before = slot.output.size();
                slot.child.ReadOutput(slot.output);
                if (radio.state == FleetRadio::State::kUpdating &&
                    radio.console.Feed(std::string_view(slot.output).substr(before))) {
                    display_.Changed(radio);
                }
            }
            ended[i] = fds[firstSlot + 2 * i + 1].revents != 0 && Ended(radio, slot);
        }
        for (std::size_t i = slots_.size(); i-- > 0;) {
            if (ended[i]) {
                slots_.erase(slots_.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
        // The places that came free go to the next radios.
        StartNext(radios);
    }
    display_.Finish(radios);
}

void FleetRunner::StartNext(std::vector<FleetRadio>& radios) {
    while (!stopped_ && next_ < radios.size() && static_cast<int>(slots_.size()) < jobs_) {
        auto slot = std::make_unique<Slot>();
        slot->radio = next_;
        StartQuery(radios[next_++], *slot);
        if (slot->child.Running()) {
            slots_.push_back(std::move(slot));
        }
    }
}

void FleetRunner::StartQuery(FleetRadio& radio, Slot& slot, bool after) {
    std::string error;
    slot.output.clear();
    radio.state = after ? FleetRadio::State::kChecking : FleetRadio::State::kQuerying;
    if (!slot.child.Start({programs_.tool, "info", "--json", "--port", std::to_string(radio.port),
                           "--radio-type", std::to_string(programs_.radioType)},
                          {}, {}, error)) {
        radio.state = after ? FleetRadio::State::kDone : FleetRadio::State::kNotRun;
        radio.note = after ? std::string() : error;
    }
    display_.Changed(radio);
}

void FleetRunner::StartUpdate(FleetRadio& radio, Slot& slot) {
    std::string error;
    slot.output.clear();
    slot.folder = std::make_unique<PrivateFolder>("quillon-fleet");
    std::vector<std::string> environment;
    if (!programs_.passwordFile.empty()) {
        environment.push_back(std::string(kPasswordVariable) + "=" + programs_.passwordFile);
    }
    radio.started = std::chrono::system_clock::now();
    if (slot.folder->Path().empty()) {
        radio.state = FleetRadio::State::kNotRun;
        radio.note = "no private working folder could be made";
    } else if (!slot.child.Start({programs_.updater, "/d", "/sp", std::to_string(radio.port), "/c"},
                                 environment, slot.folder->Path().string(), error)) {
        radio.state = FleetRadio::State::kNotRun;
        radio.note = error;
    } else {
        radio.state = FleetRadio::State::kUpdating;
        slot.pid = slot.child.Pid();
    }
    display_.Changed(radio);
}

bool FleetRunner::Ended(FleetRadio& radio, Slot& slot) {
    const std::size_t before = slot.output.size();
    const int code = slot.child.Reap(slot.output);
    if (radio.state == FleetRadio::State::kQuerying) {
        const bool answered = code == 0 && radio.TakeQuery(QueryAnswer(slot.output));
        if (stopped_) {
            radio.state = FleetRadio::State::kNotRun;
            radio.note = "stopped before the update";
        } else if (!answered && radio.fromAll) {
            radio.state = FleetRadio::State::kSkipped;
            radio.note = FirstLine(slot.output);
        } else {
            // A radio named on the command line is updated even when it did not answer: the
            // updater tells why it fails.
            StartUpdate(radio, slot);
            return radio.state != FleetRadio::State::kUpdating;
        }
        display_.Changed(radio);
        return true;
    }
    if (radio.state == FleetRadio::State::kChecking) {
        if (code == 0) {
            radio.TakeQueryAfter(QueryAnswer(slot.output));
        }
        radio.state = FleetRadio::State::kDone;
        display_.Changed(radio);
        return true;
    }
    radio.console.Feed(std::string_view(slot.output).substr(before));
    radio.console.Finish();
    radio.ended = std::chrono::system_clock::now();
    radio.seconds = std::chrono::duration<double>(radio.ended - radio.started).count();
    radio.returnCode = code;
    radio.state = FleetRadio::State::kDone;
    if (const auto entry = log_.Find(slot.pid)) {
        radio.TakeLogEntry(*entry);
    }
    radio.TakeConsole();
    slot.folder.reset();
    // The log holds only the versions the updater read or wrote itself: a radio that answered
    // before is asked again. One that does not answer now (waiting in bootload mode) keeps them.
    if (!stopped_ && radio.answered) {
        StartQuery(radio, slot, true);
        return radio.state == FleetRadio::State::kDone;
    }
    display_.Changed(radio);
    return true;
}

void FleetRunner::Stop(std::vector<FleetRadio>& radios) {
    stopped_ = true;
    // The signal that came (Ctrl-C, SIGTERM, a closed terminal), passed on once.
    const int signal = InterruptSignals::Signal() != 0 ? InterruptSignals::Signal() : SIGINT;
    for (const auto& slot : slots_) {
        slot->child.Signal(signal);
    }
    for (std::size_t i = next_; i < radios.size(); ++i) {
        radios[i].state = FleetRadio::State::kNotRun;
        radios[i].note = "stopped before its turn";
        display_.Changed(radios[i]);
    }
    next_ = radios.size();
}

}  // namespace quillon::tool
