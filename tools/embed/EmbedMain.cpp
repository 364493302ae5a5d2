// quillon-embed PROFILE_FOLDER OUTPUT_FOLDER PROGRAM_NAME
// Reads a build profile, checks every S-record image, cuts each image into pieces at record
// boundaries, fills the piece counts of the attribute record and writes the source that embeds
// pieces and record as named resources. Exit 0 on success, 1 with "file:line: reason" when an
// image is wrong, 2 on a usage or profile error.

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "download/SRecordCheck.h"
#include "tools/embed/ImageSplitter.h"
#include "tools/embed/ProfileReader.h"
#include "tools/embed/ResourceSourceWriter.h"

namespace {

std::string UpperCase(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

uint32_t* CountOf(quillon::ResourceAttributes& a, const std::string& stem) {
    uint32_t* counts[6] = {&a.LoaderCount,   &a.CodeCount,          &a.BootLoaderCount,
                           &a.BootCodeCount, &a.BootTwoLoaderCount, &a.BootTwoCodeCount};
    for (size_t i = 0; i < 6; ++i) {
        if (stem == quillon::embed::kImageStems[i]) {
            return counts[i];
        }
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quillon::embed;
    using quillon::CheckSRecordImage;
    using quillon::SRecordFault;
    using quillon::SRecordReader;
    if (argc != 4) {
        std::cerr << "usage: quillon-embed PROFILE_FOLDER OUTPUT_FOLDER PROGRAM_NAME\n";
        return 2;
    }
    const auto started = std::chrono::steady_clock::now();
    Profile profile;
    std::string error;
    if (!ReadProfile(argv[1], profile, error)) {
        std::cerr << "quillon-embed: " << error << "\n";
        return 2;
    }
    std::vector<NamedResource> resources;
    size_t totalBytes = 0;
    for (const ProfileImage& image : profile.images) {
        std::vector<std::string_view> pieces;
        if (image.srecords) {
            // A DSP build's loader is read the fixed S3 way, up to its S9.
            const bool dspLoader =
                image.stem == "Loader" &&
                profile.attributes.UpgradeType == quillon::ResourceAttributes::kUpgradeDsp;
            SRecordFault fault;
            if (!CheckSRecordImage(
                    image.bytes, fault,
                    dspLoader ? SRecordReader::Mode::kFixedS3 : SRecordReader::Mode::kNormal)) {
                std::cerr << image.source << ":" << fault.line << ": " << fault.reason << " ("
                          << image.stem << ")\n";
                return 1;
            }
            if (!SplitAtRecords(image.bytes, kMaxPieceBytes, pieces, error)) {
                std::cerr << image.source << ": " << error << "\n";
                return 1;
            }
        } else {
            pieces = SplitBytes(image.bytes, kMaxPieceBytes);
        }
        *CountOf(profile.attributes, image.stem) = static_cast<uint32_t>(pieces.size());
        for (size_t j = 0; j < pieces.size(); ++j) {
            resources.push_back({UpperCase(image.stem) + "_" + std::to_string(j + 1), pieces[j]});
        }
        totalBytes += image.bytes.size();
    }
    const auto record = profile.attributes.Encode();
    resources.push_back(
        {"RESOURCEATTRIBUTES_",
         std::string_view(reinterpret_cast<const char*>(record.data()), record.size())});
    if (!WriteResourceSource(argv[2], resources, argv[3], error)) {
        std::cerr << "quillon-embed: " << error << "\n";
        return 2;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("quillon-embed: %s: %zu resources, %zu image bytes, %.2f s\n", profile.name.c_str(),
                resources.size(), totalBytes, seconds);
    return 0;
}
