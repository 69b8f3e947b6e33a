// The graphics options that the library reads from the command line itself.
#include <algorithm>
#include <string>
#include <vector>

#include "vu_internal.h"

namespace {
bool starts_with(const std::string& text, std::string_view prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}
}  // namespace

void VU_MSET_OPTIONS(std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_MSET_OPTIONS V0.1 ";
  if (st_bad(status, kRoutine)) return;
  constexpr std::int32_t kMaxArgs = 20;
  constexpr std::size_t kArgLength = 80;
  std::int32_t num_args = 0;
  std::vector<std::string> args;
  UT_GETARGS(kMaxArgs, num_args, args, status);
  if (st_bad(status, kRoutine)) return;

  bool landscape = false;
  const std::int32_t stored = std::min<std::int32_t>(num_args, static_cast<std::int32_t>(args.size()));
  // The first entry is the program's name.
  for (std::int32_t i = 1; i < stored; ++i) {
    const std::string raw = args[static_cast<std::size_t>(i)].substr(0, kArgLength);
    std::string arg = UT_UPPER(raw);
    arg.resize(static_cast<std::size_t>(SLEN(arg)));

    if (arg == "+LAND" || arg == "-LAND" || arg == "LAND" || arg == "+LANDSCAPE" ||
        arg == "LANDSCAPE" || arg == "-LANDSCAPE") {
      landscape = true;
    } else if (starts_with(arg, "-COL") || starts_with(arg, "+COL")) {
      const std::string rest =
          starts_with(arg.substr(1), "COLOURS") ? arg.substr(8) : arg.substr(4);
      bool ok = false;
      std::int32_t count = 0;
      UT_TOKTI(rest, ok, count, status);
      if (st_bad(status, kRoutine)) return;
      if (ok) {
        count = std::clamp<std::int32_t>(count, 16, 256);
        VU_DB_JCOLOURS = VuDbJColours{count, count};
      } else {
        vu_message("WARNING: Bad command line option");
      }
    } else if (starts_with(arg, "-DFORM") || starts_with(arg, "+DFORM")) {
      VU_DOC_CONTROL.form_documentation = true;
    } else if (starts_with(arg, "-DMENU") || starts_with(arg, "+DMENU")) {
      VU_DOC_CONTROL.menu_documentation = true;
    } else if (arg == "+PNG" || arg == "-PNG") {
      VU_PNGOUTPUT.value = true;
    }
  }
  if (landscape) VU_MSET_LANDSCAPE(status);
  if (st_bad(status, kRoutine)) return;
}
