#pragma once

#include "app/core/ComPortList.h"

namespace quillon {

// COM n as this system names it (ComPortPath): present when its device opens as a terminal and
// no other program holds it.
class ComPortPresence : public PortPresence {
public:
    bool Present(int n) override;
    std::string DevicePath(int n) override;
};

}  // namespace quillon
