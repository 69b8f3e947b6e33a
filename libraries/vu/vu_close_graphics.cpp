// Closing the graphics and any PostScript output.
#include <fstream>
#include <string>
#include <vector>

#include "dv.h"
#include "vu_internal.h"

namespace {
constexpr std::int32_t kPostScriptUnit = 17;
constexpr std::string_view kEndLine = "% End of PostScript file";

// Replaces the last line of the closed file FILE_NAME by the end line.
bool end_postscript_file(const std::string& file_name) {
  std::vector<std::string> lines;
  {
    std::ifstream in(file_name);
    if (!in) return false;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
  }
  if (!lines.empty()) lines.pop_back();
  lines.emplace_back(kEndLine);
  std::ofstream out(file_name, std::ios::trunc);
  for (const std::string& line : lines) out << line << '\n';
  return static_cast<bool>(out);
}
}  // namespace

void VU_CLOSE_PS(std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_CLOSE_PS V0.1 ";
  if (st_bad(status, kRoutine)) return;
  bool open = false;
  VU_INQ_PSFILE(open);
  if (!open) return;
  DV_CLOSE_WK(2, status);
  if (st_bad(status, kRoutine)) return;
  if (!VU_PSFILE.file_name.empty()) {
    UT_CLOSE_ASCIIFILE(kPostScriptUnit, status);
    if (st_bad(status, kRoutine)) return;
    if (!end_postscript_file(VU_PSFILE.file_name)) {
      vu_message("WARNING: Could not end the PostScript file " + VU_PSFILE.file_name);
    }
  } else {
    // The file's name is unknown here: the end line follows its last line instead.
    UT_WRITE_FILE(kPostScriptUnit, kEndLine, status);
    UT_CLOSE_ASCIIFILE(kPostScriptUnit, status);
    if (st_bad(status, kRoutine)) return;
  }
  VU_SET_PSFILE(false);
  VU_PSFILE.file_name.clear();
}

void VU_CLOSE_GRAPHICS(std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_CLOSE_GRAPHICS V0.2 ";
  if (st_bad(status, kRoutine)) return;
  DV_CLOSE_WK(1, status);
  VU_CLOSE_PS(status);
  DV_CLOSE(status);
  if (st_bad(status, kRoutine)) return;
}
