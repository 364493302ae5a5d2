#pragma once

#include <optional>
#include <string>

namespace quillon {

// A codeplug password known before the radio asks (a password file, or the one the radio
// accepted earlier in the same session). It answers the radio's first request of a transfer
// only: the radio asks again only after a wrong password, and repeating it would only use up
// the radio's attempts.
class GivenPassword {
public:
    explicit GivenPassword(std::optional<std::string> password = std::nullopt)
        : password_(std::move(password)) {}

    // A new transfer begins: the password may be offered again.
    void NewTransfer() { requests_ = 0; }
    // The radio's password requests in this transfer.
    int Requests() const { return requests_; }

    // Counts a request. True with `password` set when this is the transfer's first request and
    // there is a password to give; false otherwise.
    bool Offer(std::string& password);
    // True when the given password was offered in this transfer and the radio asked again.
    bool Refused() const { return password_.has_value() && requests_ > 1; }

private:
    std::optional<std::string> password_;
    int requests_ = 0;
};

}  // namespace quillon
