#include "app/core/EmbeddedFiles.h"

#include <utility>
#include <vector>

#include "app/core/ImageFileCheck.h"
#include "platform/FileSystem.h"
#include "platform/NewFile.h"

namespace quillon {
namespace {

// JoinPieces gives up looking for a free name after this many (Loader9999.hex).
constexpr int kMaxJoinCandidates = 10000;

// Appends the plain file `path` to `out`: exactly its size as listed, or false.
bool AppendFile(const std::string& path, NewFile& out) {
    uint64_t size = 0;
    if (!FileSystem::IsRegularFile(path, &size)) {
        return false;
    }
    std::vector<uint8_t> bytes;
    std::string detail;
    return FileSystem::ReadRegularFile(path, static_cast<size_t>(size), bytes, detail) ==
               FileSystem::ReadResult::Ok &&
           bytes.size() == size && out.Write(bytes.data(), bytes.size());
}

}  // namespace

EmbeddedFiles::EmbeddedFiles(const ResourceStore& resources, std::string folder, std::string root)
    : resources_(resources), folder_(std::move(folder)), root_(std::move(root)) {}

std::string EmbeddedFiles::ModelName(uint8_t model) {
    return model == 0 ? "6700" : model == 1 ? "6900" : "";
}

std::string EmbeddedFiles::UpgradeTypeName(uint8_t upgradeType) {
    static const char* const kNames[] = {"Application", "Boot", "DSP", "Application/Boot"};
    return upgradeType < 4 ? kNames[upgradeType] : "";
}

bool EmbeddedFiles::ReadResourceAttributes(const ResourceStore& resources, UpdaterView& view,
                                           ResourceAttributes& attributes) {
    attributes = ResourceAttributes{};
    std::string_view bytes;
    if (!resources.Find(kAttributesName, bytes) || bytes.size() < ResourceAttributes::kSize) {
        return false;
    }
    attributes = ResourceAttributes::Decode(reinterpret_cast<const uint8_t*>(bytes.data()));
    UpdaterView::TargetRadioLabels labels;
    labels.tesseraVersion = ResourceAttributes::FieldText(attributes.TesseraVersion);
    labels.vernierVersion = ResourceAttributes::FieldText(attributes.VernierVersion);
    labels.model = ModelName(attributes.RadioModel);
    labels.series = std::to_string(attributes.Series);
    labels.upgradeType = UpgradeTypeName(attributes.UpgradeType);
    view.ShowTargetRadio(labels);
    return true;
}

bool EmbeddedFiles::Exists(const std::string& name) const {
    const std::string atRoot =
        root_.empty() || root_.back() != '/' ? root_ + "/" + name : root_ + name;
    return FileSystem::Exists(atRoot) || FileSystem::Exists(InFolder(name));
}

bool EmbeddedFiles::WritePiece(const std::string& resourceName, const std::string& fileName) {
    std::string_view bytes;
    if (!resources_.Find(resourceName, bytes)) {
        return false;
    }
    NewFile file;
    if (file.Create(InFolder(fileName), false) != NewFile::Result::Created) {
        return false;
    }
    if (!file.Write(bytes.data(), bytes.size()) || !file.Finish(false)) {
        // A half-written piece of our own would block every later run: remove it.
        file.Discard();
        return false;
    }
    return true;
}

bool EmbeddedFiles::WritePieces(const std::string& resourceStem, const std::string& fileStem,
                                uint32_t count, std::vector<std::string>& created) {
    uint32_t written = 0;
    bool clash = false;
    for (uint32_t j = 1; j <= count; ++j) {
        const std::string file = fileStem + "." + std::to_string(j);
        if (Exists(file)) {
            clash = true;
        } else if (WritePiece(resourceStem + "_" + std::to_string(j), file)) {
            created.push_back(file);
            ++written;
        }
    }
    return written == count && !clash;
}

void EmbeddedFiles::Remove(std::vector<std::string>& names) const {
    for (const std::string& name : names) {
        FileSystem::Remove(InFolder(name));
    }
    names.clear();
}

bool EmbeddedFiles::ImageSound(const std::string& name, ImageCheck check) const {
    const std::string path = InFolder(name);
    if (check == ImageCheck::kCoff) {
        std::string error;
        return ImageFileCheck::CoffFile(path, error);
    }
    SRecordFault fault;
    return ImageFileCheck::SRecordFile(path,
                                       check == ImageCheck::kFixedS3 ? SRecordReader::Mode::kFixedS3
                                                                     : SRecordReader::Mode::kNormal,
                                       fault);
}

bool EmbeddedFiles::ExtractEmbeddedFiles(UpdaterView& view, const ResourceAttributes& attributes,
                                         bool boot, bool useBootTwo, std::string& loaderFileName,
                                         std::string& codeFileName) {
    uint32_t loaders = attributes.LoaderCount;
    uint32_t codes = attributes.CodeCount;
    std::string suffix;
    if (useBootTwo) {
        loaders = attributes.BootTwoLoaderCount;
        codes = attributes.BootTwoCodeCount;
        suffix = "_BootTwo";
    } else if (boot) {
        loaders = attributes.BootLoaderCount;
        codes = attributes.BootCodeCount;
        suffix = "_Boot";
    }
    const bool dsp = attributes.UpgradeType == ResourceAttributes::kUpgradeDsp;
    // Every file this extraction made; on a failure they all go, so nothing half-written is left
    // for a download or blocks the next run. Files found in the folder are never touched.
    std::vector<std::string> pieces;
    std::vector<std::string> joined;
    auto fail = [&](const char* text) {
        Remove(pieces);
        Remove(joined);
        view.ShowMessage(text, kCaption, MessageIcon::Error);
        return false;
    };

    if (!WritePieces("Loader" + suffix, "Loader", loaders, pieces)) {
        return fail(kLoaderError);
    }
    loaderFileName = JoinPieces("Loader", loaders, "hex");
    if (loaderFileName.empty()) {
        return fail(kLoaderError);
    }
    joined.push_back(loaderFileName);
    if (!ImageSound(loaderFileName, dsp ? ImageCheck::kFixedS3 : ImageCheck::kSRecords)) {
        return fail(kLoaderError);
    }
    if (!WritePieces("Code" + suffix, "Code", codes, pieces)) {
        return fail(kCodeError);
    }
    codeFileName = JoinPieces("Code", codes, dsp ? "OUT" : "hex");
    if (codeFileName.empty()) {
        return fail(kCodeError);
    }
    joined.push_back(codeFileName);
    if (!ImageSound(codeFileName, dsp ? ImageCheck::kCoff : ImageCheck::kSRecords)) {
        return fail(kCodeError);
    }
    Remove(pieces);
    return true;
}

std::string EmbeddedFiles::JoinPieces(const std::string& stem, uint32_t count,
                                      const std::string& extension) {
    std::string candidate = stem + "." + extension;
    int n = 1;
    NewFile out;
    NewFile::Result created = NewFile::Result::Exists;
    while (n <= kMaxJoinCandidates) {
        if (!Exists(candidate)) {
            // Created exclusively: a file that appeared since the test is never truncated,
            // the next name is taken instead.
            created = out.Create(InFolder(candidate), false);
            if (created != NewFile::Result::Exists) {
                break;
            }
        }
        candidate = stem + std::to_string(n) + "." + extension;
        ++n;
    }
    if (created != NewFile::Result::Created) {
        return {};
    }
    bool whole = true;
    for (uint32_t i = 1; i <= count && whole; ++i) {
        whole = AppendFile(InFolder(stem + "." + std::to_string(i)), out);
    }
    // A failed close can mean the last writes never reached the disk.
    if (!out.Finish(false) || !whole) {
        out.Discard();
        return {};
    }
    return candidate;
}

}  // namespace quillon
