#pragma once

#include <string>
#include <vector>

#include "app/core/ResourceAttributes.h"

namespace quillon::embed {

// One image of a build: its resource stem ("Loader", "Code_Boot", ...) and its bytes.
struct ProfileImage {
    std::string stem;
    std::string source;    // the file it came from, or "synthetic"
    bool srecords = true;  // false for the signal-processor object file
    std::string bytes;
};

// A build profile as read from profile.json in its folder.
struct Profile {
    std::string name;               // the build's name in the program file name ("6700_Series_6")
    ResourceAttributes attributes;  // piece counts still zero
    std::vector<ProfileImage> images;
};

// Reads `folder`/profile.json with the attribute values and, for each image set, either an
// S-record file (relative to the folder) or the size of a synthetic image. False with `error`
// naming the field or file that is wrong.
bool ReadProfile(const std::string& folder, Profile& profile, std::string& error);

// The image stems in the order of the record's counts.
inline constexpr const char* kImageStems[6] = {"Loader",    "Code",           "Loader_Boot",
                                               "Code_Boot", "Loader_BootTwo", "Code_BootTwo"};

}  // namespace quillon::embed
