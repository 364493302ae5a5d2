#include "app/core/EmbeddedFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "app/core/ImageFileCheck.h"
#include "serial/posix/WriteAll.h"

namespace quillon {
namespace {

constexpr size_t kCopyBlock = 1024;
// JoinPieces gives up looking for a free name after this many (Loader9999.hex).
constexpr int kMaxJoinCandidates = 10000;

// Appends the plain file `path` to `out`, in blocks: exactly its size as listed, or false.
bool AppendFile(const std::string& path, int out) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return false;
    }
    char buffer[kCopyBlock];
    auto left = static_cast<size_t>(st.st_size);
    while (left > 0) {
        const ssize_t n = ::read(in, buffer, left < kCopyBlock ? left : kCopyBlock);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0 || !WriteAll(out, buffer, static_cast<size_t>(n))) {
            break;
        }
        left -= static_cast<size_t>(n);
    }
    ::close(in);  // read-only: nothing to lose
    return left == 0;
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
    struct stat st {};
    const std::string atRoot =
        root_.empty() || root_.back() != '/' ? root_ + "/" + name : root_ + name;
    return ::stat(atRoot.c_str(), &st) == 0 || ::stat(InFolder(name).c_str(), &st) == 0;
}

bool EmbeddedFiles::WritePiece(const std::string& resourceName, const std::string& fileName) {
    std::string_view bytes;
    if (!resources_.Find(resourceName, bytes)) {
        return false;
    }
    const std::string path = InFolder(fileName);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool written = WriteAll(fd, bytes.data(), bytes.size());
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        // A half-written piece of our own would block every later run: remove it.
        ::unlink(path.c_str());
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
        ::unlink(InFolder(name).c_str());
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
    int out = -1;
    while (n <= kMaxJoinCandidates) {
        if (!Exists(candidate)) {
            // Created exclusively: a file that appeared since the test is never truncated,
            // the next name is taken instead.
            out =
                ::open(InFolder(candidate).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (out >= 0 || errno != EEXIST) {
                break;
            }
        }
        candidate = stem + std::to_string(n) + "." + extension;
        ++n;
    }
    if (out < 0) {
        return {};
    }
    bool whole = true;
    for (uint32_t i = 1; i <= count && whole; ++i) {
        whole = AppendFile(InFolder(stem + "." + std::to_string(i)), out);
    }
    // A failed close can mean the last writes never reached the disk.
    if (::close(out) != 0 || !whole) {
        ::unlink(InFolder(candidate).c_str());
        return {};
    }
    return candidate;
}

}  // namespace quillon
