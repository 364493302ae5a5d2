#pragma once

#include <cstdint>

// The two-byte codes of every message the program and the virtual radio exchange, family by
// family: the first byte (kFamily) names the family, the constants the second byte. Both ends of
// the link name codes from here; the catalogue rows (MessageCatalogue) carry the same codes.
namespace quillon {

// 02: loader, code and DSP download.
namespace loader {
constexpr uint8_t kFamily = 0x02;
constexpr uint8_t kDspImageStart = 0x00;
constexpr uint8_t kImageStart = 0x01;
constexpr uint8_t kPairChecksum = 0x02;  // from the radio, + 2 bytes
constexpr uint8_t kPageAcknowledge = 0x03;
constexpr uint8_t kImageEnd = 0x04;
constexpr uint8_t kChecksumGood = 0x05;
constexpr uint8_t kChecksumBad = 0x06;
constexpr uint8_t kAcknowledge = 0x07;
constexpr uint8_t kPageEnd = 0x08;
constexpr uint8_t kDataBlock = 0x09;  // + 128 bytes
constexpr uint8_t kNegative = 0x0A;   // from the radio; + 4 bytes (failed address) after a pair
constexpr uint8_t kProcessorQuery = 0x0B;
constexpr uint8_t kProcessorReply = 0x0C;  // + 2 bytes, the processor in the second
constexpr int kBlockBytes = 128;
}  // namespace loader

// 03: codeplug upload and download, and the password exchange.
namespace codeplug {
constexpr uint8_t kFamily = 0x03;
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
constexpr int kBlockBytes = 128;
}  // namespace codeplug

// 04: radio queries; each request is answered by its reply or by kNotAvailable.
namespace query {
constexpr uint8_t kFamily = 0x04;
constexpr uint8_t kSerialNumberRequest = 0x04;
constexpr uint8_t kSerialNumberReply = 0x05;  // + 8 bytes
constexpr uint8_t kHardwareRevisionRequest = 0x07;
constexpr uint8_t kHardwareRevisionReply = 0x08;  // + 3 bytes
constexpr uint8_t kControllerVersionRequest = 0x09;
constexpr uint8_t kControllerVersionReply = 0x0A;  // + 3 bytes
constexpr uint8_t kDspVersionRequest = 0x0B;
constexpr uint8_t kDspVersionReply = 0x0C;  // + 3 bytes
constexpr uint8_t kFileFormatRequest = 0x1C;
constexpr uint8_t kFileFormatReply = 0x1D;  // + 2 bytes
constexpr uint8_t kNotAvailable = 0x20;
constexpr uint8_t kBootVersionRequest = 0x2D;
constexpr uint8_t kBootVersionReply = 0x2E;  // + 2 bytes
constexpr uint8_t kSemVersionRequest = 0x3E;
constexpr uint8_t kSemVersionReply = 0x3F;  // + 2 bytes
constexpr uint8_t kRadioKindRequest = 0x67;
constexpr uint8_t kRadioKindReply = 0x68;  // + 1 byte
constexpr uint8_t kRadioInfoRequest = 0x6F;
constexpr uint8_t kRadioInfoReply = 0x70;  // + 10 bytes
}  // namespace query

// 07: radio status sent unasked.
namespace radiostatus {
constexpr uint8_t kFamily = 0x07;
constexpr uint8_t kRestarted = 0x25;
}  // namespace radiostatus

// 09: link control.
namespace linkcontrol {
constexpr uint8_t kFamily = 0x09;
constexpr uint8_t kSetSpeed = 0x00;           // + 1 byte, the speed code
constexpr uint8_t kInterfaceProbe = 0x01;     // + 3 bytes, under the probe header
constexpr uint8_t kInterfaceReply = 0x02;     // + 4 bytes, from an interface box
constexpr uint8_t kControlHeadUpdate = 0x03;  // + 2 bytes, sent unasked after a restart
}  // namespace linkcontrol

}  // namespace quillon
