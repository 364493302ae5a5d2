#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace quillon::tool {

// One program the fleet runs: started in a process group of its own (a Ctrl-C on the terminal
// reaches the fleet alone, which passes the stop on once), standard input empty, standard
// output and standard error together on one pipe. Its end is seen on a process descriptor, so
// the fleet's loop waits on descriptors only.
class FleetChild {
public:
    FleetChild() = default;
    ~FleetChild();
    FleetChild(const FleetChild&) = delete;
    FleetChild& operator=(const FleetChild&) = delete;

    // `environment`: "NAME=value" entries set on top of this process's own. False, with `error`
    // set, when it did not start.
    bool Start(const std::vector<std::string>& args, const std::vector<std::string>& environment,
               const std::string& folder, std::string& error);

    pid_t Pid() const { return pid_; }
    int OutputFd() const { return out_; }  // -1 once the output has ended
    int EndFd() const { return end_; }     // readable once the program has ended

    // Appends what the program wrote so far; closes the pipe at its end.
    void ReadOutput(std::string& into);
    // Collects the program's end after EndFd() became readable: its exit code, or 128 + the
    // signal that ended it. The rest of its output is read first.
    int Reap(std::string& output);
    bool Running() const { return pid_ > 0; }
    void Signal(int signal) const;

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int end_ = -1;
};

}  // namespace quillon::tool
