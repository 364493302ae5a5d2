#pragma once

#include <string>
#include <vector>

namespace quillon {

// The one place that knows how a COM port number names a device on this system.
//
// COM n (1 to 255) is, in this order: $QUILLON_COM_DIR/comN when that variable is set and the
// entry exists (normally a symbolic link to any tty); else the default table COM1-COM32 =
// /dev/ttyS0-31, COM33-COM96 = /dev/ttyUSB0-63, COM97-COM160 = /dev/ttyACM0-63. Other numbers
// have no default device. A port is present when its device exists and opens as a terminal,
// and in use when another open holds its advisory lock.
class ComPortPath {
public:
    static constexpr int kFirst = 1;
    static constexpr int kLast = 255;
    static constexpr const char* kDirVariable = "QUILLON_COM_DIR";

    // NoAccess: the device is there, but this user may not open it.
    enum class State { Absent, Present, InUse, NoAccess };

    struct PortInfo {
        int number = 0;
        std::string path;        // what the port opens (the entry or default device)
        std::string devicePath;  // the device it leads to, symbolic links resolved
        bool inUse = false;
        bool noAccess = false;  // there, but this user may not open it
    };

    // The device path of COM `n`, or "" when the number has none.
    static std::string Resolve(int n);

    // The default-table device of COM `n`, or "" outside the table.
    static std::string DefaultDevice(int n);

    // Whether COM `n` is present, and whether another open holds it. Opens and closes the
    // device; takes no lock that outlives the call.
    static State Probe(int n);
    static State ProbePath(const std::string& path);

    // Every present port from COM1 to COM255, in order, those this user may not open included.
    static std::vector<PortInfo> Enumerate();
};

}  // namespace quillon
