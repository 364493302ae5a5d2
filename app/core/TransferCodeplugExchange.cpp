#include "app/core/TransferCodeplugExchange.h"

namespace quillon {

TransferCodeplugExchange::TransferCodeplugExchange(CommSession& link, const std::string& serial,
                                                   UpdaterView& view, const CancelFlag* cancel,
                                                   std::optional<std::string> password)
    : view_(view), given_(std::move(password)) {
    transfer_.SetSerialKey(serial);
    transfer_.SetDevice(link);
    transfer_.SetCancelFlag(cancel);
    transfer_.PassChecker().SetPasswordPrompt(this);
}

bool TransferCodeplugExchange::Ask(std::string& password) {
    if (given_.Offer(password)) {
        return true;
    }
    if (given_.Refused()) {
        return false;  // the given password was refused: asking again would only repeat it
    }
    return view_.AskPassword(password);
}

int TransferCodeplugExchange::Upload(uint8_t* buffer, int32_t& length) {
    given_.NewTransfer();
    transfer_.SetBuffer(TransferBase::ImageBuffer(buffer, TransferBase::kImageBytes), 0);
    const int result = transfer_.Upload();
    length = transfer_.Length();
    return result;
}

int TransferCodeplugExchange::Download(uint8_t* buffer, int32_t length) {
    given_.NewTransfer();
    transfer_.SetLength(length);
    transfer_.SetBuffer(TransferBase::ImageBuffer(buffer, TransferBase::kImageBytes), length);
    return transfer_.Download();
}

CodeplugExchangeFactory TransferCodeplugExchange::Factory(const CancelFlag* cancel,
                                                          std::optional<std::string> password) {
    return [cancel, password](CommSession& link, const std::string& serial, UpdaterView& view) {
        return std::make_unique<TransferCodeplugExchange>(link, serial, view, cancel, password);
    };
}

}  // namespace quillon
