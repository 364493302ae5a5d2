#pragma once

#include <cstdint>

// The codeplug transfer family of messages (first code byte 03) and the restart notice the
// password exchange skips. Both ends of the link name them from here.
namespace quillon::codeplug {

constexpr uint8_t kFamily = 0x03;
// Second code bytes.
constexpr uint8_t kStartDownload = 0x00;
constexpr uint8_t kDataBlock = 0x02;         // + 128 bytes, both ways
constexpr uint8_t kChecksumQuestion = 0x03;  // + 2 bytes, from the radio
constexpr uint8_t kEnd = 0x04;
constexpr uint8_t kChecksumGood = 0x05;
constexpr uint8_t kChecksumBad = 0x06;
constexpr uint8_t kStartUpload = 0x07;
constexpr uint8_t kNextBlock = 0x08;
constexpr uint8_t kPasswordWanted = 0x0B;
constexpr uint8_t kPassword = 0x0C;  // + 4 bytes
constexpr uint8_t kAccessGranted = 0x0D;
constexpr uint8_t kAccessGrantedToo = 0x0E;

constexpr uint8_t kStatusFamily = 0x07;
constexpr uint8_t kRestarted = 0x25;

constexpr int kBlockBytes = 128;

}  // namespace quillon::codeplug
