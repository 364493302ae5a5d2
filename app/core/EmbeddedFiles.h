#pragma once

#include <cstdint>
#include <string>

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
    // set when `boot`, else the application set), joins them, and deletes the pieces. On
    // success `loaderFileName` and `codeFileName` name the joined files relative to the folder.
    // A piece file that exists already, or one that cannot be written, fails with the
    // "Embedded Files" box; pieces written so far stay.
    bool ExtractEmbeddedFiles(UpdaterView& view, const ResourceAttributes& attributes, bool boot,
                              bool useBootTwo, std::string& loaderFileName,
                              std::string& codeFileName);

    // Creates stem.extension, or the first free of stem1.extension, stem2.extension, ...,
    // appends the plain files stem.1 to stem.count in number order (missing ones skipped) and
    // returns its name. When it cannot be created the name is returned all the same and no file
    // is left.
    std::string JoinPieces(const std::string& stem, uint32_t count, const std::string& extension);

    // Whether `name` is found in the folder or at the root.
    bool Exists(const std::string& name) const;

    static std::string ModelName(uint8_t model);
    static std::string UpgradeTypeName(uint8_t upgradeType);

private:
    // Writes resource `resourceName` to the new file `fileName`; false when the resource is
    // missing or the file cannot be created or written whole.
    bool WritePiece(const std::string& resourceName, const std::string& fileName);
    // Writes pieces 1..count of `resourceStem` to fileStem.j; false on a clash or a failure.
    bool WritePieces(const std::string& resourceStem, const std::string& fileStem, uint32_t count);
    std::string InFolder(const std::string& name) const { return folder_ + "/" + name; }

    const ResourceStore& resources_;
    std::string folder_;
    std::string root_;
};

}  // namespace quillon
