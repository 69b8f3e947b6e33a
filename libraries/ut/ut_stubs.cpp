// Temporary bodies, replaced routine by routine as the library is completed.
#include "ut.h"

void ST_OUT(std::int32_t) {}
void UT_WRITENA(std::string_view, std::int32_t&) {}
void UT_WRITE_FILE(std::int32_t, std::string_view, std::int32_t&) {}
void UT_WRITENA_FILE(std::int32_t, std::string_view, std::int32_t&) {}
int UT_START(std::string_view) { return -1; }
std::string UT_UPPER(std::string_view text) { return std::string(text); }
std::string UT_LOWER(std::string_view text) { return std::string(text); }
std::string UT_ITOC(std::int32_t value) { return std::to_string(value); }
std::string UT_LTOC(bool value) { return value ? ".TRUE." : ".FALSE."; }
void UT_DEF_SEPARATORS(std::int32_t&) {}
void UT_TOKENS(std::string_view, std::int32_t, bool& all_stored, std::int32_t& num_tokens,
               std::vector<std::string>&, std::int32_t&) {
  all_stored = true;
  num_tokens = 0;
}
void UT_TOKTI(std::string_view, bool& ok, std::int32_t&, std::int32_t&) { ok = false; }
void UT_TOKTR(std::string_view, bool& ok, float&, std::int32_t&) { ok = false; }
void UT_TOKTL(std::string_view, bool& ok, bool&, std::int32_t&) { ok = false; }
void UT_VTOC(float, std::int32_t, std::int32_t, bool, bool, bool, bool& fits, std::string&,
             std::int32_t&) {
  fits = true;
}
std::string UT_RTOC(float) { return "0.0"; }
UtIoState& ut_io_state() {
  static UtIoState state;
  return state;
}
void ut_set_command_line(int, const char* const*) {}
void UT_GETARGS(std::int32_t, std::int32_t& num_args, std::vector<std::string>&, std::int32_t&) {
  num_args = 0;
}
void UT_FILENAME(std::string_view, std::int32_t, bool, std::int32_t, std::string_view,
                 bool& overflow, std::string&, std::int32_t&) {
  overflow = false;
}
void UT_OPEN_ASCIIFILE(bool, std::string_view, std::int32_t, std::string_view,
                       std::int32_t& retstat, std::int32_t&) {
  retstat = 1;
}
void UT_CLOSE_ASCIIFILE(std::int32_t, std::int32_t&) {}
void UT_READ_ASCIILINE(std::int32_t, std::string&, std::int32_t& retstat, std::int32_t&) {
  retstat = 2;
}
void UT_RECL(std::int32_t& bytes_per_unit, std::int32_t&) { bytes_per_unit = 1; }
void UT_SYSTEM_NAME(std::string& system, std::string& machine, std::int32_t&) {
  system = "LINUX";
  machine = "PC";
}
void UT_TIMES(float& elapsed, float& cpu, std::int32_t&) {
  elapsed = 0.0f;
  cpu = 0.0f;
}
void ut_set_local_clock(std::function<std::tm()>) {}
void UT_MALLOC(std::int64_t, void*& pointer, std::int32_t&) { pointer = nullptr; }
void UT_FREE(void*, std::int32_t&) {}
void UT_SLEEP(float, std::int32_t&) {}
void UT_ISWAP(std::int32_t&, std::int32_t&, std::int32_t&) {}
bool UT_BIG_ENDIAN(std::int32_t&) { return false; }
void UT_TRANS_PATH(std::string_view in_path, std::int32_t& retstat, std::string& out_path,
                   std::int32_t&) {
  retstat = 0;
  out_path = std::string(in_path);
}
void UT_USERPATH(std::string_view, std::int32_t& retstat, std::string&, std::int32_t&) {
  retstat = 1;
}
std::string UT_LOGINNAME(std::int32_t&) { return "*** UNKNOWN ***"; }
std::string UT_HOMEDIR(std::string_view, std::int32_t&) { return ""; }
