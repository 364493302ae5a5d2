#include "app/core/RadioConnection.h"

#include <utility>

#include "app/core/RadioType.h"
#include "link/ProtocolTiming.h"

namespace quillon {

RadioConnection::RadioConnection(CommSession& link, UpdaterView& view, ComPortList& ports,
                                 SerialLine* port, std::function<int()> processors)
    : link_(link), view_(view), ports_(ports), port_(port), processors_(std::move(processors)) {}

bool RadioConnection::StartDeviceMode(std::string& error) {
    return link_.Connect(ports_.DevicePathOf(portNumber_), kLowSpeed, error);
}

bool RadioConnection::Fail(const std::string& error, bool show) {
    lastError_ = error;
    ports_.SetState(portNumber_, ComPortList::kFree);
    link_.Close();
    if (show) {
        view_.ShowMessage(error, kCaption, MessageIcon::Error);
    }
    return false;
}

bool RadioConnection::ConnectToRadio(bool lowSpeed, const Build& build, int consolePort) {
    const bool console = view_.ConsoleMode();
    lastError_.clear();
    if (console) {
        portNumber_ = consolePort;
    } else {
        const int chosen = ports_.Selected();
        ports_.RefreshComPorts();
        ports_.Select(chosen);
        portNumber_ = chosen + 1;
        if (ports_.State(portNumber_) != ComPortList::kFree) {
            lastError_ = kPortNotAvailable;
            view_.ShowMessage(kPortNotAvailable, kCaption, MessageIcon::Error);
            return false;
        }
    }
    ports_.SetState(portNumber_, ComPortList::kInUseHere);

    std::string error;
    if (build.radioModel == 1) {
        // A mobile radio: is an interface box in front of it?
        if (!StartDeviceMode(error)) {
            return Fail(error, true);
        }
        link_.SetTimeout(timing::kProbeTimeoutMs);
        if (link_.ProbeInterface()) {
            link_.SetFraming(1);
            link_.SetActive(true);
            if (!lowSpeed && build.radioType != kRadioType6900Series1) {
                link_.SetRadioBaud(kHighSpeed);
            }
            return true;
        }
        if (processors_() > 1) {
            // Nothing stays open after a refusal.
            return Fail(kMultiProcessor, true);
        }
        link_.Close();
        return OpenPortMode(lowSpeed, build);
    }
    if (!StartDeviceMode(error)) {
        return Fail(error, !console);
    }
    if (!lowSpeed) {
        link_.SetRadioBaud(kHighSpeed);
    }
    return true;
}

bool RadioConnection::OpenPortMode(bool lowSpeed, const Build& build) {
    std::string error = CommSession::kPortErrorText;
    if (port_ == nullptr) {
        return Fail(error, !view_.ConsoleMode());
    }
    if (!link_.Connect(*port_, ports_.DevicePathOf(portNumber_), error)) {
        return Fail(error, !view_.ConsoleMode());
    }
    link_.SetLocalBaud(kLowSpeed);
    if (build.radioType == kRadioType6900Series1) {
        link_.SetRadioBaud(kLowSpeed);
    } else if (!lowSpeed) {
        link_.SetRadioBaud(kHighSpeed);
    }
    return true;
}

void RadioConnection::CloseAndFree() {
    link_.Close();
    if (portNumber_ != 0) {
        ports_.SetState(portNumber_, ComPortList::kFree);
    }
}

}  // namespace quillon
