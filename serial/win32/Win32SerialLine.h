#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "serial/SerialLine.h"

namespace quillon {

// The serial line over a Windows COM port (\\.\COMn), opened for overlapped I/O: 8N1 in
// binary mode, no software flow control and no DSR handshake, DTR and RTS set through the
// device control block. One read is always outstanding while the line is open; it ends after
// a short gap in the bytes (or a longer while without any) and sets the event the pump waits
// on, so Read never blocks. Write hands the bytes to one overlapped write at a time.
//
// An open line holds a named mutex for its port, so that two of these programs never share a
// port, whatever the driver does about exclusive opens.
class Win32SerialLine : public SerialLine {
public:
    Win32SerialLine() = default;
    ~Win32SerialLine() override;

    OpenFailure Open(const std::string& devicePath, const LineSettings& settings) override;
    bool IsOpen() const override { return handle_ != nullptr; }
    void Close() override;
    LineResult Write(const uint8_t* bytes, int count) override;
    LineResult Read(uint8_t* buffer, int capacity) override;
    LineResult Unsent() override;
    LineResult SetSpeed(int32_t bitsPerSecond) override;
    // The number of the open line, which the pump turns into its read or write event.
    int WaitHandle() const override { return handle_ != nullptr ? key_ : -1; }

    // The events of the open line numbered `key` (null for none): set when a read has ended,
    // and when the write in flight has ended.
    static void* ReadEventOf(int key);
    static void* WriteEventOf(int key);

    // The name of the mutex that marks `port` (COM7 or \\.\COM7) as in use by one of these
    // programs.
    static std::wstring PortMutexName(const std::string& port);
    // Whether one of these programs holds `port` now.
    static bool HeldByUs(const std::string& port);

    // The program's lines: a fresh Win32SerialLine for each connection.
    static LineFactory Factory();

    // How long a read waits after the last byte before it hands what it has over, and without
    // any byte at all, in milliseconds.
    static constexpr unsigned kReadGapMs = 10;
    static constexpr unsigned kReadSliceMs = 1000;
    // How long Close lets the bytes still in flight leave.
    static constexpr unsigned kCloseDrainMs = 2000;

private:
    // The system error of a refused setting (0 when the line took it).
    unsigned long ApplySettings();
    void StartRead();
    // Collects the outstanding read when it has ended; false with `error` on a failure.
    bool CollectRead(int& error);
    // Collects the write in flight when it has ended (`wait`: waits for it).
    bool CollectWrite(bool wait, int& error);

    void* handle_ = nullptr;
    void* mutex_ = nullptr;
    int key_ = -1;
    struct Overlapped;
    Overlapped* read_ = nullptr;
    Overlapped* write_ = nullptr;
    bool readPending_ = false;
    bool writePending_ = false;
    std::vector<uint8_t> readBuffer_;
    std::vector<uint8_t> writeBuffer_;
    std::deque<uint8_t> arrived_;
};

}  // namespace quillon
