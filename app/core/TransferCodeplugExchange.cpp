#include "app/core/TransferCodeplugExchange.h"

namespace quillon {

TransferCodeplugExchange::TransferCodeplugExchange(CommSession& link, const std::string& serial,
                                                   UpdaterView& view, const CancelFlag* cancel)
    : view_(view) {
    transfer_.SetSerialKey(serial);
    transfer_.SetDevice(link);
    transfer_.SetCancelFlag(cancel);
    transfer_.PassChecker().SetPasswordPrompt(this);
}

int TransferCodeplugExchange::Upload(uint8_t* buffer, int32_t& length) {
    transfer_.SetBuffer(TransferBase::ImageBuffer(buffer, TransferBase::kImageBytes), 0);
    const int result = transfer_.Upload();
    length = transfer_.Length();
    return result;
}

int TransferCodeplugExchange::Download(uint8_t* buffer, int32_t length) {
    transfer_.SetLength(length);
    transfer_.SetBuffer(TransferBase::ImageBuffer(buffer, TransferBase::kImageBytes), length);
    return transfer_.Download();
}

CodeplugExchangeFactory TransferCodeplugExchange::Factory(const CancelFlag* cancel) {
    return [cancel](CommSession& link, const std::string& serial, UpdaterView& view) {
        return std::make_unique<TransferCodeplugExchange>(link, serial, view, cancel);
    };
}

}  // namespace quillon
