#pragma once

#include "app/core/CodeplugExchange.h"
#include "app/core/UpdaterView.h"
#include "serial/CancelFlag.h"
#include "transfer/CodeplugTransfer.h"
#include "transfer/PasswordPrompt.h"

namespace quillon {

// The codeplug exchange of a restore over the 03 family: one CodeplugTransfer for the upload
// and the download, keyed with the radio's serial number, asking the view for the codeplug
// password.
class TransferCodeplugExchange : public CodeplugExchange, private PasswordPrompt {
public:
    TransferCodeplugExchange(CommSession& link, const std::string& serial, UpdaterView& view,
                             const CancelFlag* cancel);

    int Upload(uint8_t* buffer, int32_t& length) override;
    int Download(uint8_t* buffer, int32_t length) override;

    static CodeplugExchangeFactory Factory(const CancelFlag* cancel);

private:
    bool Ask(std::string& password) override { return view_.AskPassword(password); }

    UpdaterView& view_;
    CodeplugTransfer transfer_;
};

}  // namespace quillon
