#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quillon {

class CommSession;
class UpdaterView;

// One codeplug read-out and write-back of a restore, over the link, with the radio's password
// exchange. Made afresh for every restore.
class CodeplugExchange {
public:
    virtual ~CodeplugExchange() = default;
    // Reads the codeplug into `buffer` (65,536 bytes, zeroed by the caller), in the radio's byte
    // order. Above 0 on success; `length` receives the bytes read either way.
    virtual int Upload(uint8_t* buffer, int32_t& length) = 0;
    // Writes the first `length` bytes of `buffer` (radio byte order) back. Above 0 on success.
    // The buffer holds 65,536 bytes; what follows `length` may be overwritten with filler.
    virtual int Download(uint8_t* buffer, int32_t length) = 0;
    // Whether the radio asked for its codeplug password during the last transfer.
    virtual bool PasswordWanted() const { return false; }
};

// Makes the exchange of one restore: the link, the radio's serial number (16 hexadecimal
// digits, the key of the block scrambling) and the view that asks for a password.
using CodeplugExchangeFactory = std::function<std::unique_ptr<CodeplugExchange>(
    CommSession& link, const std::string& serial, UpdaterView& view)>;

}  // namespace quillon
