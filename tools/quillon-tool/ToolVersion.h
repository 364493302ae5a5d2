#pragma once

#include <string>

namespace quillon::tool {

// What `quillon-tool --version` prints: the release and build id, and the build profile with
// the radio it is for, as its embedded record describes it.
std::string ToolVersionText();

}  // namespace quillon::tool
