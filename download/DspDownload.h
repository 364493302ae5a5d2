#pragma once

#include <filesystem>
#include <istream>
#include <vector>

#include "download/DownloadContext.h"
#include "download/DownloadResult.h"

namespace quillon {

// Sends the RAM loader (S-record text, read the fixed S3 way) and then the DSP program (a COFF
// file, open in binary) page by page. Before anything is sent the loader is checked whole (it
// must end with S9), the COFF section table is read and the page images are written to
// "Page0".."Page8" in the first of `pageFolders` where all nine can be created (a private folder
// the caller made); they are removed afterwards on every path. Returns 1, 2 or 4 like a code
// download, or kDownloadFileError with a status text when the loader or the COFF file is unsound
// or the page files cannot be written or read; nothing has gone to the radio then unless a page
// file failed to read back.
int DownloadDsp(const DownloadContext& context, std::istream& loader, std::istream& dsp,
                const std::vector<std::filesystem::path>& pageFolders);

// The status text of one page.
std::string DspPageText(int number, int usedPages);

}  // namespace quillon
