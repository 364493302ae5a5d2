#include "sim/SimServer.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quillon::sim {

namespace {

int MillisecondsUntil(std::chrono::steady_clock::time_point when,
                      std::chrono::steady_clock::time_point now) {
    if (when <= now) {
        return 0;
    }
    // Rounded up, so the loop never wakes just before the moment and polls again at once.
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(when - now).count();
    return static_cast<int>(std::min<long long>(wait, 24LL * 3600 * 1000));
}

}  // namespace

void SimServer::Schedule(std::vector<OutputStep> steps, Clock::time_point now) {
    if (queue_.empty()) {
        lastDue_ = now;
    }
    for (OutputStep& step : steps) {
        lastDue_ = std::max(lastDue_, now) + std::chrono::milliseconds(step.delayMs);
        queue_.push_back({lastDue_, std::move(step)});
    }
}

bool SimServer::RunDueSteps(Clock::time_point now, std::string& error) {
    while (!queue_.empty() && queue_.front().due <= now) {
        OutputStep& step = queue_.front().step;
        if (step.speed) {
            // The speed changes only once everything before it has gone out.
            if (Sending()) {
                return true;
            }
            if (!line_.SetSpeed(*step.speed, error)) {
                return false;
            }
        } else {
            outgoing_.insert(outgoing_.end(), step.bytes.begin(), step.bytes.end());
        }
        if (!step.logKind.empty()) {
            log_.Write(step.logKind, step.logText);
        }
        queue_.pop_front();
    }
    return true;
}

bool SimServer::Flush(std::string& error) {
    while (Sending()) {
        const ssize_t written =
            write(line_.MasterFd(), outgoing_.data() + sent_, outgoing_.size() - sent_);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                return true;  // the reader is behind; poll says when there is room
            }
            error = std::string("writing to the line failed: ") + std::strerror(errno);
            return false;
        }
        sent_ += static_cast<size_t>(written);
        lastTraffic_ = Clock::now();
    }
    outgoing_.clear();
    sent_ = 0;
    return true;
}

bool SimServer::ReadLine(std::string& error) {
    uint8_t buffer[4096];
    for (;;) {
        const ssize_t count = read(line_.MasterFd(), buffer, sizeof buffer);
        if (count > 0) {
            const Clock::time_point now = Clock::now();
            lastTraffic_ = now;
            Schedule(radio_.Receive(buffer, static_cast<size_t>(count)), now);
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return true;
        }
        error = count == 0 ? std::string("the line was closed")
                           : std::string("reading from the line failed: ") + std::strerror(errno);
        return false;
    }
}

int SimServer::Run(int stopFd, std::string& error) {
    lastTraffic_ = Clock::now();
    for (;;) {
        Clock::time_point now = Clock::now();
        const int64_t nowMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
        Schedule(radio_.Tick(nowMs), now);
        if (!RunDueSteps(now, error) || !Flush(error)) {
            return 1;
        }
        int timeout = -1;
        if (!queue_.empty() && !(queue_.front().step.speed && Sending())) {
            timeout = MillisecondsUntil(queue_.front().due, now);
        }
        if (const int64_t own = radio_.NextOwnMessageMs(nowMs); own != RadioSimulator::kNoMessage) {
            const int untilOwn = static_cast<int>(std::clamp<int64_t>(own - nowMs, 0, 86400000));
            timeout = timeout < 0 ? untilOwn : std::min(timeout, untilOwn);
        }
        if (idleExit_.count() > 0 && queue_.empty() && !Sending()) {
            const Clock::time_point idleEnd = lastTraffic_ + idleExit_;
            if (now >= idleEnd) {
                log_.Write("NOTE",
                           "no traffic for " + std::to_string(idleExit_.count()) + " ms, leaving");
                return 0;
            }
            const int untilIdle = MillisecondsUntil(idleEnd, now);
            timeout = timeout < 0 ? untilIdle : std::min(timeout, untilIdle);
        }
        pollfd fds[2] = {
            {line_.MasterFd(), static_cast<short>(POLLIN | (Sending() ? POLLOUT : 0)), 0},
            {stopFd, POLLIN, 0}};
        const int ready = poll(fds, 2, timeout);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = std::string("poll failed: ") + std::strerror(errno);
            return 1;
        }
        if (fds[1].revents != 0) {
            return 0;
        }
        if ((fds[0].revents & POLLIN) != 0 && !ReadLine(error)) {
            return 1;
        }
        if ((fds[0].revents & (POLLERR | POLLNVAL)) != 0 ||
            ((fds[0].revents & POLLHUP) != 0 && (fds[0].revents & POLLIN) == 0)) {
            // The radio holds the device open itself, so this is not the updater going away.
            error = "the pseudo-terminal failed";
            return 1;
        }
    }
}

}  // namespace quillon::sim
