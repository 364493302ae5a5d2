#include "platform/Terminal.h"

#include <io.h>
#include <windows.h>

namespace quillon {

bool IsTerminal(std::FILE* stream) {
    return ::_isatty(::_fileno(stream)) != 0;
}

bool SameDestination(std::FILE* a, std::FILE* b) {
    const auto first = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(a)));
    const auto second = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(b)));
    if (IsTerminal(a) && IsTerminal(b)) {
        return true;  // one console window
    }
    BY_HANDLE_FILE_INFORMATION one{};
    BY_HANDLE_FILE_INFORMATION two{};
    return ::GetFileInformationByHandle(first, &one) &&
           ::GetFileInformationByHandle(second, &two) &&
           one.dwVolumeSerialNumber == two.dwVolumeSerialNumber &&
           one.nFileIndexHigh == two.nFileIndexHigh && one.nFileIndexLow == two.nFileIndexLow;
}

}  // namespace quillon
