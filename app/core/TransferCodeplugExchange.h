#pragma once

#include <optional>
#include <string>

#include "app/core/CodeplugExchange.h"
#include "app/core/GivenPassword.h"
#include "app/core/UpdaterView.h"
#include "serial/CancelFlag.h"
#include "transfer/CodeplugTransfer.h"
#include "transfer/PasswordPrompt.h"

namespace quillon {

// The codeplug exchange of a restore over the 03 family: one CodeplugTransfer for the upload
// and the download, keyed with the radio's serial number, asking the view for the codeplug
// password, or answering it from a password given beforehand (unattended runs): that one is
// offered once per transfer, since the radio asks again only after a wrong one.
class TransferCodeplugExchange : public CodeplugExchange, private PasswordPrompt {
public:
    TransferCodeplugExchange(CommSession& link, const std::string& serial, UpdaterView& view,
                             const CancelFlag* cancel,
                             std::optional<std::string> password = std::nullopt);

    int Upload(uint8_t* buffer, int32_t& length) override;
    int Download(uint8_t* buffer, int32_t length) override;
    bool PasswordWanted() const override { return given_.Requests() > 0; }

    static CodeplugExchangeFactory Factory(const CancelFlag* cancel,
                                           std::optional<std::string> password = std::nullopt);

private:
    bool Ask(std::string& password) override;

    UpdaterView& view_;
    CodeplugTransfer transfer_;
    GivenPassword given_;
};

}  // namespace quillon
