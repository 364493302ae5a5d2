#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillon::embed {

// One named read-only resource of the program.
struct NamedResource {
    std::string name;  // stored upper case: LOADER_1, CODE_BOOT_3, RESOURCEATTRIBUTES_
    std::string_view bytes;
};

// Writes each resource to `folder`/pieces/NAME and a C++ source, `folder`/EmbeddedResources.cpp,
// that pulls the files in with the assembler's .incbin and defines EmbeddedResourceEntries()
// and EmbeddedProgramName(). Files whose content did not change are left untouched so an
// unchanged profile rebuilds nothing. False with `error` on a write failure.
bool WriteResourceSource(const std::string& folder, const std::vector<NamedResource>& resources,
                         const std::string& programName, std::string& error);

}  // namespace quillon::embed
