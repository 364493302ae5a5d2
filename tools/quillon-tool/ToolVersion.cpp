#include "tools/quillon-tool/ToolVersion.h"

#include "app/core/EmbeddedFiles.h"
#include "app/core/RadioType.h"
#include "app/core/ResourceTable.h"
#include "tools/quillon-tool/QuietView.h"
#include "tools/version/ProgramVersion.h"

namespace quillon::tool {

std::string ToolVersionText() {
    std::string text = ProgramVersion::Line("quillon-tool") + "\nProfile: " QUILLON_PROFILE_NAME;
    const ResourceTable resources(EmbeddedResourceEntries());
    QuietView view;  // the record is read without showing anything
    ResourceAttributes a;
    if (EmbeddedFiles::ReadResourceAttributes(resources, view, a)) {
        text += " (" + EmbeddedFiles::ModelName(a.RadioModel) + ", series " +
                std::to_string(a.Series) + ", " + EmbeddedFiles::UpgradeTypeName(a.UpgradeType) +
                ", boot " + std::to_string(a.BootMajor) + "." + std::to_string(a.BootMinor) +
                ", radio type code " +
                std::to_string(RadioTypeOfBuild(a.RadioModel, a.Series, a.MobileTypeSelect)) + ")";
    } else {
        text += " (no build record)";
    }
    return text;
}

}  // namespace quillon::tool
