#include "tests/app/updater/UpdaterRun.h"

#include "tests/support/ChildProcess.h"

namespace quillon::test {

UpdaterRun& UpdaterRun::Run() {
    const ProgramRun run = RunProgram(
        {QUILLON_BINARY_DIR "/app/quillon-updater", args, folder, environment, timeoutMs});
    out = run.out;
    err = run.err;
    exitCode = run.exitCode;
    return *this;
}

}  // namespace quillon::test
