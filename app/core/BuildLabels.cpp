#include "app/core/BuildLabels.h"

namespace quillon {

std::string BuildLabels::NameLabel(const std::string& programPath) {
    std::string name = programPath.substr(programPath.find_last_of('/') + 1);
    const size_t dot = name.find('.');
    if (dot != std::string::npos) {
        name.resize(dot);
    }
    return "Name: " + name;
}

std::string BuildLabels::ReleaseOf(const std::string& nameLabel) {
    const size_t first = nameLabel.find_first_not_of(' ');
    if (first == std::string::npos) {
        return "N/A";
    }
    std::string t = nameLabel.substr(first, nameLabel.find_last_not_of(' ') + 1 - first);
    // Left to right, so an underscore already read as a blank counts as such further on.
    for (size_t i = 1; i < t.size(); ++i) {
        if (t[i] != '_') {
            continue;
        }
        t[i] = i >= 9 && t.compare(i - 9, 7, "Release") == 0 ? '.' : ' ';
    }
    const std::string marker = "Release ";
    const size_t at = t.find(marker);
    return at == std::string::npos ? "N/A" : t.substr(at + marker.size());
}

void BuildLabels::SetupNameLabels(UpdaterView& view, const std::string& programPath) {
    const std::string label = NameLabel(programPath);
    view.ShowNameLabels(label, ReleaseOf(label));
}

UpdaterView::RadioPicture BuildLabels::PictureOf(const ResourceAttributes& attributes) {
    using Picture = UpdaterView::RadioPicture;
    if (attributes.RadioModel == 1) {
        return attributes.Series == 6 ? Picture::MobileG : Picture::MobileX;
    }
    return attributes.Series == 6 ? Picture::PortableG : Picture::PortableX;
}

}  // namespace quillon
