#pragma once

#include <memory>
#include <string>

namespace quillon::sim {

// Publishes the radio's device as COM n: DIR/comN becomes a symbolic link to it for as long as
// the object lives. A link left behind by an earlier run is replaced; anything else in its
// place is left alone and reported.
class ComLink {
public:
    ~ComLink();
    ComLink(const ComLink&) = delete;
    ComLink& operator=(const ComLink&) = delete;

    static std::unique_ptr<ComLink> Publish(const std::string& dir, int comNumber,
                                            const std::string& target, std::string& error);

    const std::string& Path() const { return path_; }

private:
    ComLink(std::string path, std::string target)
        : path_(std::move(path)), target_(std::move(target)) {}

    std::string path_;
    std::string target_;
};

}  // namespace quillon::sim
