#include "app/core/EmbeddedFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "serial/posix/WriteAll.h"

namespace quillon {
namespace {

constexpr size_t kCopyBlock = 1024;
// JoinPieces gives up looking for a free name after this many (Loader9999.hex).
constexpr int kMaxJoinCandidates = 10000;

// Appends the plain file `path` to `out`, in blocks, up to its size as listed.
void AppendFile(const std::string& path, int out) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return;
    }
    const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return;
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
    ::close(in);
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
                                uint32_t count) {
    uint32_t written = 0;
    bool clash = false;
    for (uint32_t j = 1; j <= count; ++j) {
        const std::string file = fileStem + "." + std::to_string(j);
        if (Exists(file)) {
            clash = true;
        } else if (WritePiece(resourceStem + "_" + std::to_string(j), file)) {
            ++written;
        }
    }
    return written == count && !clash;
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
    if (!WritePieces("Loader" + suffix, "Loader", loaders)) {
        view.ShowMessage(kLoaderError, kCaption, MessageIcon::Error);
        return false;
    }
    loaderFileName = JoinPieces("Loader", loaders, "hex");
    if (!WritePieces("Code" + suffix, "Code", codes)) {
        view.ShowMessage(kCodeError, kCaption, MessageIcon::Error);
        return false;
    }
    const bool dsp = attributes.UpgradeType == ResourceAttributes::kUpgradeDsp;
    codeFileName = JoinPieces("Code", codes, dsp ? "OUT" : "hex");
    for (uint32_t j = 1; j <= loaders; ++j) {
        ::unlink(InFolder("Loader." + std::to_string(j)).c_str());
    }
    for (uint32_t j = 1; j <= codes; ++j) {
        ::unlink(InFolder("Code." + std::to_string(j)).c_str());
    }
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
        return candidate;
    }
    for (uint32_t i = 1; i <= count; ++i) {
        AppendFile(InFolder(stem + "." + std::to_string(i)), out);
    }
    ::close(out);
    return candidate;
}

}  // namespace quillon
