#pragma once

#include <string>
#include <string_view>

namespace quillon::tool {

// Follows the console output of `quillon-updater /d /sp N /c` as it comes: each step is written
// as "\nStep text..." and ended by "Done." on the same line, a step that counts writes
// "\rStep text...N% complete" again and again, and a saved codeplug backup is announced as
// "Codeplug saved to PATH"; its last line on standard error is a summary with the reason. Anything
// else on a line of its own is a message (an error's text).
class UpdaterConsoleParser {
public:
    // Takes the next piece of output; true when the step, its percent or its end changed.
    bool Feed(std::string_view text);
    // The output has ended: its last line counts as a whole one.
    void Finish();

    const std::string& Step() const { return step_; }
    int Percent() const { return percent_; }  // -1 until the step reports one
    bool StepDone() const { return done_; }
    int StepsBegun() const { return steps_; }
    const std::string& Backup() const { return backup_; }
    // The last message: the lines in a row that were neither a step nor a backup notice, joined
    // by "\n" ("" when none).
    const std::string& LastMessage() const { return message_; }
    // The reason the updater's closing summary line gives ("" without one).
    const std::string& SummaryReason() const { return summaryReason_; }

private:
    // Reads the line so far; `ended` when its end of line has come.
    bool Analyse(const std::string& line, bool ended);

    std::string line_;
    std::string step_;
    int percent_ = -1;
    bool done_ = false;
    int steps_ = 0;
    std::string backup_;
    std::string message_;
    std::string summaryReason_;
    bool inMessage_ = false;  // the last whole line belonged to a message
};

}  // namespace quillon::tool
