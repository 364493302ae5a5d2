#include "tools/embed/ProfileReader.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tools/embed/SyntheticImage.h"

namespace quillon::embed {
namespace {

using nlohmann::json;

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    bytes = text.str();
    return !in.bad();
}

template <typename T>
bool ReadNumber(const json& object, const char* key, T maximum, T& out, std::string& error) {
    if (!object.contains(key) || !object[key].is_number_unsigned() ||
        object[key].get<uint64_t>() > static_cast<uint64_t>(maximum)) {
        error = std::string("attributes.") + key + ": expected a number from 0 to " +
                std::to_string(static_cast<uint64_t>(maximum));
        return false;
    }
    out = static_cast<T>(object[key].get<uint64_t>());
    return true;
}

bool ReadVersion(const json& object, const char* key,
                 std::array<char, ResourceAttributes::kVersionFieldSize>& field,
                 std::string& error) {
    if (!object.contains(key) || !object[key].is_string() ||
        object[key].get<std::string>().size() >= field.size()) {
        error = std::string("attributes.") + key + ": expected a text of at most 9 characters";
        return false;
    }
    ResourceAttributes::SetField(field, object[key].get<std::string>());
    return true;
}

bool ReadAttributes(const json& a, ResourceAttributes& r, std::string& error) {
    return ReadNumber<uint8_t>(a, "RadioModel", 1, r.RadioModel, error) &&
           ReadNumber<uint8_t>(a, "MobileTypeSelect", 255, r.MobileTypeSelect, error) &&
           ReadNumber<uint8_t>(a, "Series", 255, r.Series, error) &&
           ReadNumber<uint8_t>(a, "UpgradeType", 3, r.UpgradeType, error) &&
           ReadNumber<uint8_t>(a, "Processor416", 1, r.Processor416, error) &&
           ReadNumber<uint32_t>(a, "BootMajor", 255, r.BootMajor, error) &&
           ReadNumber<uint32_t>(a, "BootMinor", 255, r.BootMinor, error) &&
           ReadNumber<uint32_t>(a, "BootTwoMajor", 255, r.BootTwoMajor, error) &&
           ReadNumber<uint32_t>(a, "BootTwoMinor", 255, r.BootTwoMinor, error) &&
           ReadVersion(a, "TesseraVersion", r.TesseraVersion, error) &&
           ReadVersion(a, "VernierVersion", r.VernierVersion, error);
}

bool ReadImage(const std::string& folder, const std::string& stem, const json& entry, uint32_t seed,
               ProfileImage& image, std::string& error) {
    image.stem = stem;
    const std::string where = "images." + stem;
    const std::string format = entry.value("format", std::string("srecord"));
    if (format != "srecord" && format != "coff") {
        error = where + ".format: expected \"srecord\" or \"coff\"";
        return false;
    }
    image.srecords = format == "srecord";
    if (entry.contains("file")) {
        if (!entry["file"].is_string()) {
            error = where + ".file: expected a file name";
            return false;
        }
        image.source = folder + "/" + entry["file"].get<std::string>();
        if (!ReadWholeFile(image.source, image.bytes)) {
            error = image.source + ": cannot be read";
            return false;
        }
        return true;
    }
    if (entry.contains("synthetic_bytes") && entry["synthetic_bytes"].is_number_unsigned()) {
        const auto size = entry["synthetic_bytes"].get<uint64_t>();
        if (size > (uint64_t{1} << 30)) {
            error = where + ".synthetic_bytes: at most 1 GiB";
            return false;
        }
        SyntheticKind kind = SyntheticKind::Coff;
        if (image.srecords) {
            // Loaders are S2 records, except the loader of a signal-processor build (S3).
            const bool s2 = stem.rfind("Loader", 0) == 0 && !entry.value("s3", false);
            kind = s2 ? SyntheticKind::Loader : SyntheticKind::Code;
        }
        image.source = "synthetic";
        image.bytes = MakeSyntheticImage(kind, static_cast<size_t>(size), seed);
        return true;
    }
    error = where + ": expected \"file\" or \"synthetic_bytes\"";
    return false;
}

}  // namespace

bool ReadProfile(const std::string& folder, Profile& profile, std::string& error) {
    const std::string path = folder + "/profile.json";
    std::string text;
    if (!ReadWholeFile(path, text)) {
        error = path + ": cannot be read";
        return false;
    }
    const json root = json::parse(text, nullptr, false);
    if (root.is_discarded() || !root.is_object()) {
        error = path + ": not valid JSON";
        return false;
    }
    if (!root.contains("name") || !root["name"].is_string()) {
        error = path + ": name: expected the build's name";
        return false;
    }
    profile.name = root["name"].get<std::string>();
    if (!root.contains("attributes") || !root["attributes"].is_object() ||
        !ReadAttributes(root["attributes"], profile.attributes, error)) {
        error = path + ": " + (error.empty() ? "attributes: expected an object" : error);
        return false;
    }
    const json images = root.value("images", json::object());
    if (!images.is_object()) {
        error = path + ": images: expected an object";
        return false;
    }
    for (const auto& [key, value] : images.items()) {
        bool known = false;
        for (const char* stem : kImageStems) {
            known = known || key == stem;
        }
        if (!known || !value.is_object()) {
            error = path + ": images." + key + ": not an image set of the record";
            return false;
        }
    }
    uint32_t seed = 1;
    for (const char* stem : kImageStems) {
        if (images.contains(stem)) {
            ProfileImage image;
            if (!ReadImage(folder, stem, images[stem], seed, image, error)) {
                error = path + ": " + error;
                return false;
            }
            profile.images.push_back(std::move(image));
        }
        ++seed;
    }
    return true;
}

}  // namespace quillon::embed
