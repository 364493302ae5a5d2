#pragma once

#include <string>

#include "sim/RadioConfig.h"
#include "sim/ScenarioValue.h"

namespace quillon::sim {

// Reads a scenario (a JSON object, keys in README.md) over `config`: keys that are present
// replace what is there, faults are added. Throws ScenarioError naming the file and the key.
void LoadScenarioFile(const std::string& path, RadioConfig& config);
void LoadScenarioText(const std::string& text, RadioConfig& config);

}  // namespace quillon::sim
