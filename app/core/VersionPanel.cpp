#include "app/core/VersionPanel.h"

#include "link/RadioQueries.h"
#include "link/VersionInfoText.h"

namespace quillon {

bool VersionPanel::RetrieveVersionInfo(RadioConnection& connection, CommSession& link,
                                       UpdaterView& view, const RadioConnection::Build& build,
                                       int consolePort) {
    if (!connection.ConnectToRadio(true, build, consolePort)) {
        connection.CloseAndFree();
        return false;
    }
    VersionInfo info;
    const int r = ReadVersionInfo(link, build.radioType, info, true);
    const bool usable = r == kReplyReceived || r == kQueryNoBootVersion || r == kQuerySemFailed;
    if (usable) {
        view.ShowVersionInfo(FormatVersionInfo(info, build.radioType));
    } else {
        view.ShowMessage(kReadError, kCaption, MessageIcon::Error);
    }
    connection.CloseAndFree();
    return usable;
}

}  // namespace quillon
