#pragma once

#include <string>

namespace quillon {

// The program's texts are UTF-8; the wide Windows calls take and give UTF-16.
std::wstring WideText(const std::string& utf8);
std::string Utf8Text(const std::wstring& wide);
// The system's text for a Win32 error code, without the trailing line break.
std::string Win32ErrorText(unsigned long error);

}  // namespace quillon
