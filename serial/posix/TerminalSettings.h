#pragma once

#include <termios.h>

#include <cstdint>

namespace quillon {

// Translates the port's setting codes into terminal attribute bits. Each function changes only
// the bits of its own setting and returns false, leaving `tio` alone, for a code it does not
// know.
class TerminalSettings {
public:
    // Data-bits index 0-3: 5, 6, 7 or 8 data bits.
    static bool ApplyDataBits(struct termios& tio, uint8_t index);
    // Parity code 0 none, 1 odd, 2 even, 3 mark, 4 space; checking of received parity is on
    // whenever a parity is sent.
    static bool ApplyParity(struct termios& tio, uint8_t code);
    // Stop-bits code 0 one, 1 one and a half, 2 two. The terminal interface knows one or two;
    // with five data bits a UART sends one and a half when asked for two, so codes 1 and 2 are
    // the same bit.
    static bool ApplyStopBits(struct termios& tio, uint8_t code);
    // Flow-control mode 0 none, 1 RTS/CTS handshake, 2 XON/XOFF both ways, 3 CTS output flow
    // with RTS raised only while sending. The terminal interface has no such RTS toggle, so
    // mode 3 runs as RTS/CTS handshake, its nearest equivalent.
    static bool ApplyFlowControl(struct termios& tio, uint8_t mode);
    // Whether RTS is raised under a flow-control mode (it rests low in modes 0 and 2).
    static bool RtsRaised(uint8_t mode) { return mode == 1 || mode == 3; }
    // Raw 8-bit line: no echo, no translation, no signals, modem lines ignored for open and read.
    static void MakeRaw(struct termios& tio);
};

}  // namespace quillon
