#include "tests/app/updater/UpdaterRun.h"

#include "tests/support/ChildProcess.h"

namespace quillon::test {

UpdaterRun& UpdaterRun::Run() {
    ProgramCall call = Program(QUILLON_BINARY_DIR "/app/quillon-updater", args);
    call.folder = folder;
    call.environment = environment;
    call.timeoutMs = timeoutMs;
    call.signal = signal;
    call.secondSignal = secondSignal;
    call.signalAfter = signalAfter;
    const ProgramRun run = RunProgram(call);
    out = run.out;
    err = run.err;
    exitCode = run.exitCode;
    msToEnd = run.msToEnd;
    return *this;
}

}  // namespace quillon::test
