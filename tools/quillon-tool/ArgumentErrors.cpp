#include "tools/quillon-tool/ArgumentErrors.h"

#include <algorithm>
#include <cctype>

namespace quillon::tool {
namespace {

std::string Bare(const std::string& name) {
    std::string bare = name.substr(std::min(name.find_first_not_of('-'), name.size()));
    for (char& c : bare) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return bare;
}

// Edits (insert, delete, replace, swap of neighbours) from `a` to `b`.
size_t Distance(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) {
        d[i][0] = i;
    }
    for (size_t j = 0; j <= b.size(); ++j) {
        d[0][j] = j;
    }
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

// "info", "codeplug read": the command as typed after the program's name.
std::string CommandPath(const CLI::App& command) {
    std::string path;
    for (const CLI::App* level = &command; level->get_parent() != nullptr;
         level = level->get_parent()) {
        path = level->get_name() + (path.empty() ? "" : " " + path);
    }
    return path;
}

// The deepest command the parser entered.
const CLI::App& Deepest(const CLI::App& app) {
    const CLI::App* level = &app;
    for (bool deeper = true; deeper;) {
        deeper = false;
        for (const CLI::App* sub : level->get_subcommands({})) {
            if (sub->parsed()) {
                level = sub;
                deeper = true;
                break;
            }
        }
    }
    return *level;
}

// Option names usable at `command`: its own and those of the commands above it.
std::vector<std::string> OptionNames(const CLI::App& command) {
    std::vector<std::string> names;
    for (const CLI::App* level = &command; level != nullptr; level = level->get_parent()) {
        for (const CLI::Option* option : level->get_options()) {
            for (const std::string& name : option->get_lnames()) {
                names.push_back("--" + name);
            }
            for (const std::string& name : option->get_snames()) {
                names.push_back("-" + name);
            }
        }
    }
    return names;
}

std::string Quoted(const std::string& word) {
    return "'" + word + "'";
}

}  // namespace

std::string ArgumentErrors::Nearest(const std::string& word,
                                    const std::vector<std::string>& known) {
    const std::string bare = Bare(word);
    if (bare.empty()) {
        return {};
    }
    std::string best;
    // Farther than this is no suggestion.
    size_t bestDistance = (bare.size() <= 3 ? 1 : 2) + 1;
    for (const std::string& name : known) {
        const std::string candidate = Bare(name);
        // A beginning of the name ("p" for "port") is as near as it gets but a match.
        const size_t distance =
            candidate.rfind(bare, 0) == 0 && candidate != bare ? 0 : Distance(bare, candidate);
        if (distance < bestDistance) {
            best = name;
            bestDistance = distance;
        }
    }
    return best;
}

std::string ArgumentErrors::Explain(const CLI::App& app, const CLI::ParseError& error) {
    const CLI::App& command = Deepest(app);
    const std::string path = CommandPath(command);
    const std::string where = path.empty() ? "" : " for " + Quoted(path);
    const std::string help = "Run '" + app.get_name() + (path.empty() ? "" : " " + path) +
                             " --help' for more information.\n";
    std::string commands;
    std::vector<std::string> names;
    for (const CLI::App* sub : command.get_subcommands({})) {
        names.push_back(sub->get_name());
        commands += (commands.empty() ? "" : ", ") + sub->get_name();
    }
    const std::vector<std::string> unknown = app.remaining(true);
    if (unknown.empty()) {
        if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr && !names.empty() &&
            command.get_require_subcommand_min() > 0) {
            return "error: a command is needed" + where + " (commands: " + commands + ")\n" + help;
        }
        std::string what = error.what();
        if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr &&
            what.find(" missing") != std::string::npos) {
            what = what.substr(0, what.find(':')) + " needs a value";  // not "1 required TEXT"
        }
        return "error: " + (path.empty() ? "" : path + ": ") + what + "\n" + help;
    }
    const std::string& word = unknown.front();

    if (!word.empty() && word.front() == '-' && word != "-") {
        const std::string name = word.substr(0, word.find('='));
        const std::string near = Nearest(name, OptionNames(command));
        return "error: unknown option " + Quoted(name) + where +
               (near.empty() ? "" : "; did you mean " + Quoted(near) + "?") + "\n" + help;
    }
    if (!names.empty()) {
        const std::string near = Nearest(word, names);
        return "error: unknown command " + Quoted(word) + where + " (commands: " + commands + ")" +
               (near.empty() ? "" : "; did you mean " + Quoted(near) + "?") + "\n" + help;
    }
    // A value without its option: name the required option it most likely belongs to.
    std::string suggestion;
    for (const CLI::Option* option : command.get_options()) {
        if (option->get_required() && option->nonpositional() && option->count() == 0 &&
            option->get_type_size() != 0) {
            suggestion = "; did you mean '" + option->get_name() + " " + word + "'?";
            break;
        }
    }
    return "error: unexpected argument " + Quoted(word) + where + suggestion + "\n" + help;
}

}  // namespace quillon::tool
