#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

namespace quillon::tool {

// The plain field name of a heading: "Radio Serial Number:" gives "radio_serial_number"
// (lower case, words joined by '_', everything but letters and digits dropped).
std::string PlainKey(const std::string& heading);

// What a command found, as one JSON object for inventory scripts (`--json`): each finding under
// the plain name of its heading.
class JsonFindings {
public:
    void Add(const std::string& heading, const std::string& value) {
        object_[PlainKey(heading)] = value;
    }
    nlohmann::ordered_json& Object() { return object_; }
    // The object on one line.
    void Print(std::ostream& out) const { out << object_.dump() << "\n"; }

private:
    nlohmann::ordered_json object_ = nlohmann::ordered_json::object();
};

}  // namespace quillon::tool
