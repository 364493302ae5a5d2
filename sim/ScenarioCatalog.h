#pragma once

#include <string>
#include <vector>

namespace quillon::sim {

// The scenarios folder: each NAME.json in it is a scenario that --scenario takes by its name.
class ScenarioCatalog {
public:
    struct Entry {
        std::string name;
        std::string description;  // one line
    };

    // The folder that comes with the program at `programFile`: scenarios/ beside it in the build
    // tree, or ../share/quillon-code-updater/scenarios when installed. "" when neither exists.
    static std::string FolderBeside(const std::string& programFile);

    // Whether --scenario means a file rather than a name: a value with a '/' or ending in .json.
    static bool IsPath(const std::string& value);

    explicit ScenarioCatalog(std::string folder) : folder_(std::move(folder)) {}

    // The file of the scenario `name`. Throws ScenarioError naming the folder and the names
    // there when there is no such scenario, or no folder.
    std::string PathOf(const std::string& name) const;

    // Every scenario in the folder, by name. A file whose description cannot be read is listed
    // with the reason in its place. Throws ScenarioError when the folder cannot be read.
    std::vector<Entry> List() const;

    const std::string& Folder() const { return folder_; }

private:
    std::vector<std::string> Names() const;

    std::string folder_;
};

}  // namespace quillon::sim
