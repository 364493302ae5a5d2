#pragma once

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace quillon::tool {

// What to tell a user whose command line the parser refused because of a word it did not know:
// the word, where it stood, and the nearest known one.
class ArgumentErrors {
public:
    // After a failed app.parse(): the message, with a final newline, naming the command the
    // error belongs to. For the first unknown command, option or argument, that word and the
    // nearest known one; otherwise the parser's own message (a missing or bad value, a missing
    // option).
    static std::string Explain(const CLI::App& app, const CLI::ParseError& error);

    // The known name nearest to `word` ("--port" for "--prot" or "-p", "info" for "ifno"); ""
    // when none is near. Leading dashes and case are ignored.
    static std::string Nearest(const std::string& word, const std::vector<std::string>& known);
};

}  // namespace quillon::tool
