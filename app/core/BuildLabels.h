#pragma once

#include <string>

#include "app/core/ResourceAttributes.h"
#include "app/core/UpdaterView.h"

namespace quillon {

// What the window shows about the build itself: the program's name and release, and the
// picture of the radio the build is for.
class BuildLabels {
public:
    // m_NameLabel is "Name: " + the program's file name (folder and everything from the first
    // "." dropped). The release is what follows "Release " in that label once underscores are
    // read as blanks (or as a point right after "Release" and one more character); "N/A"
    // without it.
    static void SetupNameLabels(UpdaterView& view, const std::string& programPath);
    static std::string NameLabel(const std::string& programPath);
    static std::string ReleaseOf(const std::string& nameLabel);

    // The one picture to show for the build.
    static UpdaterView::RadioPicture PictureOf(const ResourceAttributes& attributes);
};

}  // namespace quillon
