#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::tooltest {

struct ToolResult {
    int exitCode = -1;
    std::string out;
    std::string err;
    long msToEnd = -1;    // after the signal, when one was sent
    bool killed = false;  // ended by a signal rather than on its own
};

// Runs the built quillon-tool with `args` and collects its exit code and output, using a
// scratch folder of its own that is removed again on destruction.
class ToolRunner {
public:
    ToolRunner();
    ~ToolRunner();
    ToolRunner(const ToolRunner&) = delete;
    ToolRunner& operator=(const ToolRunner&) = delete;

    // With `signal`, it is sent `signalAfterMs` after the start.
    ToolResult Run(const std::vector<std::string>& args, int signal = 0,
                   int signalAfterMs = 0) const;

    std::string Path(const std::string& name) const { return m_Folder + "/" + name; }
    void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) const;
    std::vector<uint8_t> ReadFile(const std::string& name) const;
    bool Exists(const std::string& name) const;
    // Names in the scratch folder (to see that no temporary file is left behind).
    std::vector<std::string> List() const;

private:
    std::string m_Folder;
};

}  // namespace quillon::tooltest
