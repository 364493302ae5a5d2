#pragma once

#include "app/core/RadioConnection.h"
#include "app/core/UpdaterView.h"
#include "link/Comm.h"

namespace quillon {

// The Retrieve button of the version panel: reads the connected radio's versions over the
// low-speed link and shows them.
class VersionPanel {
public:
    static constexpr char kCaption[] = "Communication";
    static constexpr char kReadError[] =
        "Communication error while retrieving version information.";

    // Connects (the link stays at 19200 bit/s), reads the versions and shows the seven lines;
    // a failed read shows the "Communication" box and leaves the panel as it was. The link is
    // closed and the port freed in every case. True when new values were shown.
    static bool RetrieveVersionInfo(RadioConnection& connection, CommSession& link,
                                    UpdaterView& view, const RadioConnection::Build& build,
                                    int consolePort = 0);
};

}  // namespace quillon
