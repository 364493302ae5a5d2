#pragma once

#include "link/Comm.h"
#include "serial/CancelFlag.h"
#include "serial/EventPump.h"
#include "serial/ProgressReport.h"

namespace quillon {

// What a download runs on. The session keeps its event pump to itself, so the pump it was made
// with is handed in beside it (the download's pauses and erase waits go through it).
struct DownloadContext {
    CommSession& link;
    EventPump& pump;
    ProgressReport& report;
    const CancelFlag* cancel = nullptr;

    bool Cancelled() const { return cancel != nullptr && cancel->Cancelled(); }
};

}  // namespace quillon
