#pragma once

#include <string>

namespace quillon {

// The release and build id shared by every program of one build, for their --version.
class ProgramVersion {
public:
    // The release this build was made as ("1.4.8"), the one its updater's file name carries.
    static const char* Release();
    // The commit the sources were built from, "-modified" appended when tracked files differed
    // from it; the id given to the build instead when there was one; "unknown" without either.
    static const char* BuildId();
    // The first line of a program's --version: "quillon-tool 1.4.8 (build 1d63f56c2a1e)".
    static std::string Line(const std::string& program);
};

}  // namespace quillon
