#include "tests/tools/codeplug/ToolRunner.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "tests/support/ChildProcess.h"

namespace quillon::tooltest {
namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

ToolRunner::ToolRunner() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/codeplug-tool-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a scratch folder");
    }
    m_Folder = pattern;
}

ToolRunner::~ToolRunner() {
    std::error_code ignored;
    std::filesystem::remove_all(m_Folder, ignored);
}

ToolResult ToolRunner::Run(const std::vector<std::string>& args, int signal,
                           int signalAfterMs) const {
    test::ProgramCall call = test::Program(QUILLON_BINARY_DIR "/tools/quillon-tool", args);
    call.signal = signal;
    call.signalAfterMs = signalAfterMs;
    const test::ProgramRun run = test::RunProgram(call);
    return ToolResult{run.exitCode, run.out, run.err, run.msToEnd, run.killed};
}

void ToolRunner::WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::ofstream out(Path(name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ToolRunner::ReadFile(const std::string& name) const {
    const std::string text = Slurp(Path(name));
    return std::vector<uint8_t>(text.begin(), text.end());
}

bool ToolRunner::Exists(const std::string& name) const {
    return std::filesystem::exists(Path(name));
}

std::vector<std::string> ToolRunner::List() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_Folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace quillon::tooltest
