#pragma once

#include <string>

#include "sim/RadioConfig.h"
#include "sim/ScenarioValue.h"

namespace quillon::sim {

// Reads a scenario (a JSON object, keys in README.md) over `config`: keys that are present
// replace what is there, faults are added. Throws ScenarioError naming the file and the key.
void LoadScenarioFile(const std::string& path, RadioConfig& config);
void LoadScenarioText(const std::string& text, RadioConfig& config);

// Reads the codeplug file named in the configuration (if any) into its image. Throws
// ScenarioError when it cannot be read or is larger than the radio's 65,536 bytes.
void LoadCodeplugImage(CodeplugConfig& codeplug);

// Up to 8 decimal digits. Throws ScenarioError naming `what`.
std::string CheckPassword(const std::string& text, const std::string& what);

}  // namespace quillon::sim
