#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/core/ResourceAttributes.h"
#include "app/core/ResourceTable.h"
#include "app/core/UpdaterView.h"

namespace quillon {

// The images the program carries: the attribute record, and the piece files written out and
// joined into one loader and one code file before a download.
//
// Files go to `folder` (the current working directory unless a test gives another). A name
// "exists" when it is found in that folder or at the root of the file system (`root`), so a
// stray Loader.1 in either place stops the extraction.
class EmbeddedFiles {
public:
    static constexpr char kCaption[] = "Embedded Files";
    static constexpr char kLoaderError[] =
        "Quillon Code Updater could not read the embedded loader file.\n"
        "Please verify that any other instances of Quillon Code Updater\n"
        "have begun downloading and try again.";
    static constexpr char kCodeError[] =
        "Quillon Code Updater could not read the embedded code file.\n"
        "Please verify that any other instances of Quillon Code Updater\n"
        "have begun downloading and try again.";
    static constexpr char kAttributesName[] = "ResourceAttributes_";

    explicit EmbeddedFiles(const ResourceStore& resources, std::string folder = ".",
                           std::string root = "/");

    // Reads the 68-byte record into `attributes` and shows the build labels. Any failure (no
    // resource, a short one) leaves the record all zero and the labels untouched; returns
    // whether the record was read.
    static bool ReadResourceAttributes(const ResourceStore& resources, UpdaterView& view,
                                       ResourceAttributes& attributes);

    // Writes the pieces of the chosen set (the second boot set when `useBootTwo`, else the boot
    // set when `boot`, else the application set), joins them, checks each joined image whole
    // (S-records: every line a sound record, data, an end record; a DSP build's code file: its
    // section table) and deletes the pieces. On success `loaderFileName` and `codeFileName` name
    // the joined files relative to the folder. A piece file that exists already, a piece or
    // joined file that cannot be written whole, or an image that fails its check ends with the
    // "Embedded Files" box of the loader or the code, and every file this call made is removed.
    bool ExtractEmbeddedFiles(UpdaterView& view, const ResourceAttributes& attributes, bool boot,
                              bool useBootTwo, std::string& loaderFileName,
                              std::string& codeFileName);

    // Creates stem.extension, or the first free of stem1.extension, stem2.extension, ...,
    // appends the plain files stem.1 to stem.count in number order and returns its name. Empty,
    // with no file left, when it cannot be created, a piece is missing or not a plain file, or a
    // read, write or close fails: the joined file holds exactly the bytes of its pieces or is
    // not there.
    std::string JoinPieces(const std::string& stem, uint32_t count, const std::string& extension);

    // Whether `name` is found in the folder or at the root.
    bool Exists(const std::string& name) const;

    static std::string ModelName(uint8_t model);
    static std::string UpgradeTypeName(uint8_t upgradeType);

private:
    // Writes resource `resourceName` to the new file `fileName`; false when the resource is
    // missing or the file cannot be created or written whole.
    bool WritePiece(const std::string& resourceName, const std::string& fileName);
    // Writes pieces 1..count of `resourceStem` to fileStem.j, naming each file made in
    // `created`; false on a clash or a failure.
    bool WritePieces(const std::string& resourceStem, const std::string& fileStem, uint32_t count,
                     std::vector<std::string>& created);
    // Removes the named files of the folder and forgets them.
    void Remove(std::vector<std::string>& names) const;
    enum class ImageCheck { kSRecords, kFixedS3, kCoff };
    // Whether the joined image `name` passes its check.
    bool ImageSound(const std::string& name, ImageCheck check) const;
    std::string InFolder(const std::string& name) const { return folder_ + "/" + name; }

    const ResourceStore& resources_;
    std::string folder_;
    std::string root_;
};

}  // namespace quillon
