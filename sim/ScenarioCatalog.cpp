#include "sim/ScenarioCatalog.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <system_error>

#include "sim/ScenarioValue.h"

namespace quillon::sim {

namespace fs = std::filesystem;

namespace {

constexpr const char* kExtension = ".json";

// Blanks, tabs and line breaks each run become one blank.
std::string OneLine(const std::string& text) {
    std::string line;
    for (const char c : text) {
        const bool blank = c == ' ' || c == '\t' || c == '\n' || c == '\r';
        if (!blank) {
            line += c;
        } else if (!line.empty() && line.back() != ' ') {
            line += ' ';
        }
    }
    if (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line;
}

std::string DescriptionOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return "(cannot be read)";
    }
    const nlohmann::json json = nlohmann::json::parse(in, nullptr, false);
    if (json.is_discarded() || !json.is_object()) {
        return "(not a JSON object)";
    }
    const auto description = json.find("description");
    if (description == json.end() || !description->is_string()) {
        return "(no description)";
    }
    return OneLine(description->get<std::string>());
}

}  // namespace

std::string ScenarioCatalog::FolderBeside(const std::string& programFile) {
    const fs::path dir = fs::path(programFile).parent_path();
    std::error_code ec;
    for (const fs::path& candidate :
         {dir / "scenarios", dir / ".." / "share" / "quillon-code-updater" / "scenarios"}) {
        if (fs::is_directory(candidate, ec)) {
            return candidate.lexically_normal().string();
        }
    }
    return "";
}

bool ScenarioCatalog::IsPath(const std::string& value) {
    const std::string_view extension = kExtension;
    return value.find('/') != std::string::npos ||
           (value.size() >= extension.size() &&
            value.compare(value.size() - extension.size(), extension.size(), extension) == 0);
}

std::vector<std::string> ScenarioCatalog::Names() const {
    if (folder_.empty()) {
        throw ScenarioError(
            "no scenarios folder beside the program; name one with --scenario-dir or "
            "$QUILLON_SCENARIO_DIR, or give the scenario's file");
    }
    std::error_code ec;
    std::vector<std::string> names;
    for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& file = it->path();
        if (file.extension() == kExtension && it->is_regular_file(ec)) {
            names.push_back(file.stem().string());
        }
    }
    if (ec) {
        throw ScenarioError("scenarios folder " + folder_ + ": " + ec.message());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ScenarioCatalog::PathOf(const std::string& name) const {
    const std::vector<std::string> names = Names();
    if (std::find(names.begin(), names.end(), name) == names.end()) {
        std::string known;
        for (const std::string& each : names) {
            known += (known.empty() ? "" : ", ") + each;
        }
        throw ScenarioError("no scenario '" + name + "' in " + folder_ +
                            " (there are: " + (known.empty() ? "none" : known) + ")");
    }
    return (fs::path(folder_) / (name + kExtension)).string();
}

std::vector<ScenarioCatalog::Entry> ScenarioCatalog::List() const {
    std::vector<Entry> entries;
    for (std::string& name : Names()) {
        std::string description = DescriptionOf(fs::path(folder_) / (name + kExtension));
        entries.push_back({std::move(name), std::move(description)});
    }
    return entries;
}

}  // namespace quillon::sim
