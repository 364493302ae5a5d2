#include "tools/version/ProgramVersion.h"

namespace quillon {

extern const char kBuildId[];  // the generated BuildId.cpp

const char* ProgramVersion::Release() {
    return QUILLON_RELEASE;
}

const char* ProgramVersion::BuildId() {
    return kBuildId;
}

std::string ProgramVersion::Line(const std::string& program) {
    return program + " " + Release() + " (build " + BuildId() + ")";
}

}  // namespace quillon
