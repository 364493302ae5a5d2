#include "tests/tools/codeplug/ToolRunner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

extern char** environ;

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
    const std::string tool = QUILLON_BINARY_DIR "/tools/quillon-tool";
    const std::string outPath = m_Folder + "/.stdout";
    const std::string errPath = m_Folder + "/.stderr";
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(tool.c_str()));
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Nobody types into a tool under test.
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ToolResult result;
    if (rc != 0) {
        result.err = "cannot start " + tool;
        return result;
    }
    std::chrono::steady_clock::time_point signalled;
    if (signal != 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(signalAfterMs));
        ::kill(pid, signal);
        signalled = std::chrono::steady_clock::now();
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    if (signal != 0) {
        result.msToEnd = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                               std::chrono::steady_clock::now() - signalled)
                                               .count());
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.killed = WIFSIGNALED(status);
    result.out = Slurp(outPath);
    result.err = Slurp(errPath);
    std::filesystem::remove(outPath);
    std::filesystem::remove(errPath);
    return result;
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
