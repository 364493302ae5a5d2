#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace quillon::tool {

// The tool's help pages: each option's value named in words (PORT, FILE, N, or the option's
// own name) rather than the parser's types and checks ("TEXT:FILE", "INT:{0,1,4}=0"), required
// options marked "(required)", and "COMMAND" where a sub-command goes.
class ToolHelpFormatter : public CLI::Formatter {
public:
    ToolHelpFormatter();
    std::string make_option_opts(const CLI::Option* option) const override;

    // The value's name for an option without an option_text of its own.
    static std::string ValueName(const CLI::Option& option);
};

}  // namespace quillon::tool
