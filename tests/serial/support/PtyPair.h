#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::test {

// A pseudo-terminal: the master end plays the far side of the line, the slave end is the
// serial device under test. Both ends stay open for the pair's life.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    int Master() const { return master_; }
    int Slave() const { return slave_; }
    const std::string& SlavePath() const { return slavePath_; }

    // Sends bytes from the far side.
    void Send(const std::vector<uint8_t>& bytes);
    void Send(const std::string& text);
    // Collects what the device sent, waiting up to `timeoutMs` for `count` bytes.
    std::vector<uint8_t> Receive(size_t count, int timeoutMs = 2000);
    // Drains whatever the device sent so far.
    std::vector<uint8_t> ReceiveAvailable();

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

}  // namespace quillon::test
