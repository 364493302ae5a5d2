#pragma once

#include <cstdint>
#include <span>

namespace quillon {

class CancelFlag;
class CommSession;
class ProgressReport;

// The base of every codeplug transfer: a link, an image buffer the caller owns, and the number
// of image bytes in it. Results follow the link's habit: > 0 success, <= 0 failure.
class TransferBase {
public:
    // The image buffer always holds a whole image.
    static constexpr int32_t kImageBytes = 65536;
    using ImageBuffer = std::span<uint8_t, kImageBytes>;

    TransferBase() = default;
    virtual ~TransferBase() = default;
    TransferBase(const TransferBase&) = delete;
    TransferBase& operator=(const TransferBase&) = delete;

    virtual int Upload() { return -1; }
    virtual int Download() { return -1; }
    // The link is not owned.
    virtual void SetDevice(CommSession& link) { link_ = &link; }

    // The buffer is not owned and must outlive the transfer's use of it.
    void SetBuffer(ImageBuffer buffer, int32_t length) {
        buffer_ = buffer.data();
        length_ = length;
    }
    void SetLength(int32_t length) { length_ = length; }
    int32_t Length() const { return length_; }

    // Optional: where progress goes (not owned; nothing when null).
    void SetProgress(ProgressReport* progress) { progress_ = progress; }
    // Optional: checked between blocks; a set flag ends the transfer with failure.
    void SetCancelFlag(const CancelFlag* cancel) { cancel_ = cancel; }

protected:
    CommSession* Link() const { return link_; }
    uint8_t* Buffer() const { return buffer_; }
    ProgressReport* Progress() const { return progress_; }
    bool Cancelled() const;

private:
    CommSession* link_ = nullptr;
    uint8_t* buffer_ = nullptr;
    int32_t length_ = 0;
    ProgressReport* progress_ = nullptr;
    const CancelFlag* cancel_ = nullptr;
};

}  // namespace quillon
