#pragma once

#include <memory>
#include <string>

namespace quillon::sim {

// Publishes the radio's device as COM n: DIR/comN becomes a symbolic link to it for as long as
// the object lives. The name belongs to one virtual radio at a time: the owner holds a lock on
// DIR/comN.lock, and a second radio asking for the same number is refused with the owner's
// process id. A link left behind by a radio that is gone is replaced; anything else in its
// place is left alone and reported. Only the owner removes the link.
class ComLink {
public:
    ~ComLink();
    ComLink(const ComLink&) = delete;
    ComLink& operator=(const ComLink&) = delete;

    static std::unique_ptr<ComLink> Publish(const std::string& dir, int comNumber,
                                            const std::string& target, std::string& error);

    const std::string& Path() const { return path_; }

private:
    ComLink(std::string path, std::string target, int lockFd)
        : path_(std::move(path)), target_(std::move(target)), lockFd_(lockFd) {}

    std::string path_;
    std::string target_;
    int lockFd_;
};

}  // namespace quillon::sim
