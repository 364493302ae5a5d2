#include "tools/quillon-tool/ToolHelpFormatter.h"

#include <cctype>

namespace quillon::tool {

ToolHelpFormatter::ToolHelpFormatter() {
    label("SUBCOMMAND", "COMMAND");
    label("SUBCOMMANDS", "COMMANDS");
    label("Positionals", "Arguments");
    column_width(26);
}

std::string ToolHelpFormatter::ValueName(const CLI::Option& option) {
    const std::string type = option.get_type_name();
    if (type.find("FILE") != std::string::npos || type.find("PATH") != std::string::npos) {
        return "FILE";
    }
    if (type.rfind("INT", 0) == 0 || type.rfind("UINT", 0) == 0) {
        return "N";
    }
    std::string name = option.get_single_name();
    name.erase(0, name.find_first_not_of('-'));
    for (char& c : name) {
        c = c == '-' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return name.empty() ? "VALUE" : name;
}

std::string ToolHelpFormatter::make_option_opts(const CLI::Option* option) const {
    std::string text;
    if (!option->get_option_text().empty()) {
        text = " " + option->get_option_text();
    } else if (option->get_type_size() != 0 && !option->get_type_name().empty() &&
               option->nonpositional()) {
        text = " " + ValueName(*option);  // a flag takes no value; a positional is its name
    }
    if (option->get_required()) {
        text += " (required)";
    }
    return text;
}

}  // namespace quillon::tool
