#include "transfer/PasswordExchange.h"

#include "link/Comm.h"
#include "link/MessageCodes.h"
#include "link/ProtocolTiming.h"
#include "link/RadioQueries.h"

namespace quillon {

using namespace codeplug;

namespace {

constexpr size_t kPasswordLookChars = 12;
constexpr int kPasswordDigits = 8;

bool Is(const CommMessage& message, uint8_t code1, uint8_t code2) {
    return message.Length >= 2 && message.Data[0] == code1 && message.Data[1] == code2;
}

}  // namespace

bool PasswordExchange::PasswordPrompt(std::string& password) {
    return prompt_ != nullptr && prompt_->Ask(password);
}

std::array<uint8_t, 4> PasswordExchange::PackPassword(const std::string& text) {
    std::array<uint8_t, 4> packed{0xFF, 0xFF, 0xFF, 0xFF};
    int n = 0;
    for (size_t i = 0; i < text.size() && i < kPasswordLookChars && n < kPasswordDigits; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') {
            continue;
        }
        const auto digit = static_cast<uint8_t>(c - '0');
        uint8_t& byte = packed[n / 2];
        byte = n % 2 == 0 ? static_cast<uint8_t>((digit << 4) | (byte & 0x0F))
                          : static_cast<uint8_t>((byte & 0xF0) | digit);
        ++n;
    }
    return packed;
}

int PasswordExchange::Check() {
    answered_ = false;
    CommSession* link = Link();
    if (link == nullptr) {
        return kLinkFailed;
    }
    int attempts = 0;
    int result = kLinkFailed;
    bool granted = false;
    bool linkFailed = false;
    int notices = 0;
    while (!granted && attempts <= kMaxAttempts) {
        CommMessage message{};
        result = link->Receive(message);
        if (result != 1) {
            linkFailed = true;
            break;
        }
        answered_ = true;
        if (Is(message, kFamily, kPasswordWanted)) {
            std::string password;
            if (attempts >= kMaxAttempts || !PasswordPrompt(password)) {
                break;
            }
            const std::array<uint8_t, 4> packed = PackPassword(password);
            result =
                link->SendCode2(kFamily, kPassword, packed.data(), static_cast<int>(packed.size()));
            if (result <= 0) {
                linkFailed = true;
                break;
            }
            ++attempts;
        } else if (Is(message, kFamily, kAccessGranted) ||
                   Is(message, kFamily, kAccessGrantedToo)) {
            granted = true;
            result = kGranted;
        } else if (IsRestartMessage(message)) {
            // A restart notice or a control-head update: the radio sends these on its own. One
            // that only ever repeats them counts as not answering.
            if (++notices > timing::kMaxRestartNotices) {
                linkFailed = true;
                break;
            }
            continue;
        } else {
            break;
        }
    }
    if (granted) {
        return kGranted;
    }
    link->SendCode2(kFamily, kEnd, nullptr, 0);
    return linkFailed ? kLinkFailed : kNotGranted;
}

}  // namespace quillon
