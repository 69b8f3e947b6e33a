// Support library: status convention, message output, text toolkit and host services.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// ---------------------------------------------------------------------------------------------
// Status values. Every routine that takes a status does its work only when it is ST_OK.
constexpr std::int32_t ST_OK = INT32_MIN + 1;             // 0x80000001
constexpr std::int32_t ST_ESCAPE = INT32_MAX;             // 0x7FFFFFFF
constexpr std::int32_t ST_SPECIAL_INPUT = INT32_MIN + 2;  // 0x80000002

// Sets the status to ST_OK and blanks the error position; the first call of the run also
// starts the support library (UT_DEF_SYSTEM).
void ST_DEF_SYSTEM(std::int32_t& status);
// Records POSITION as the error position unless one is already recorded.
void ST_SAVE(std::string_view position);
// The error kind of STATUS (absolute value modulo 10000), or STATUS itself for the special values.
std::int32_t ST_ERRORCODE(std::int32_t status);
// Prints the status report for STATUS (nothing when STATUS is ST_OK and no position is recorded).
// Leaves STATUS and the error position as they are.
void ST_OUT(std::int32_t status);
// The recorded error position (132 characters, blank when nothing is recorded).
const std::string& st_position();

// The first step of the status convention: with a bad status, record the routine text and
// answer true so that the caller returns at once.
inline bool st_bad(std::int32_t status, std::string_view routine) {
  if (status == ST_OK) return false;
  ST_SAVE(routine);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Message output. Trailing blanks, NULs, tabs and line ends are dropped; leading blanks stay.
// One line on standard output; an empty text prints a line holding one blank.
void UT_WRITE(std::string_view text, std::int32_t& status);
// The text without a line end (a prompt); nothing at all for an empty text.
void UT_WRITENA(std::string_view text, std::int32_t& status);
// One line to the text file open on UNIT (a line holding one blank for an empty text). A failed
// write prints an explanation on the console and sets 11010.
void UT_WRITE_FILE(std::int32_t unit, std::string_view text, std::int32_t& status);
// The text to UNIT without a line end; nothing for an empty text; the write is not checked.
void UT_WRITENA_FILE(std::int32_t unit, std::string_view text, std::int32_t& status);

// ---------------------------------------------------------------------------------------------
// Text toolkit. Positions count from 1.
// Position of the last character that is not blank, NUL, tab, line feed or carriage return;
// 0 if there is none.
int SLEN(std::string_view text);
// Position of the first character that is neither blank nor NUL; -1 if there is none.
int UT_START(std::string_view text);
// Characters 1 to SLEN(TEXT) with a-z turned to A-Z (UT_UPPER) or A-Z to a-z (UT_LOWER).
std::string UT_UPPER(std::string_view text);
std::string UT_LOWER(std::string_view text);
// Decimal text of VALUE, no blanks, leading minus for negative values.
std::string UT_ITOC(std::int32_t value);
// ".TRUE." or ".FALSE.".
std::string UT_LTOC(bool value);

// Sets the separator table to blank, comma and tab.
void UT_DEF_SEPARATORS(std::int32_t& status);
// Splits TEXT at runs of separators. TOKENS is grown to MAX_TOKENS entries when smaller; entries
// 1..NUM_TOKENS receive the tokens (each cut to 132 characters), later entries are left alone.
// ALL_STORED is false when TEXT held more than MAX_TOKENS tokens. MAX_TOKENS below 1: 10001.
void UT_TOKENS(std::string_view text, std::int32_t max_tokens, bool& all_stored,
               std::int32_t& num_tokens, std::vector<std::string>& tokens, std::int32_t& status);
// Every token of TEXT (split as by UT_TOKENS), whole: none is cut, however long.
std::vector<std::string_view> ut_split_tokens(std::string_view text);
// Token to a value; OK false (VALUE untouched) when the token does not convert.
void UT_TOKTI(std::string_view token, bool& ok, std::int32_t& value, std::int32_t& status);
void UT_TOKTR(std::string_view token, bool& ok, float& value, std::int32_t& status);
void UT_TOKTL(std::string_view token, bool& ok, bool& value, std::int32_t& status);
// Real to text in fixed form with DECIMALS places or, when allowed and needed, exponential form
// within MAX_CHARS characters. FITS false: the exponential form did not fit and TEXT keeps its
// previous content (cleaned). Errors: 10017 (MAX_CHARS < 1 or DECIMALS < 0), 10013
// (DECIMALS > MAX_CHARS).
void UT_VTOC(float value, std::int32_t max_chars, std::int32_t decimals, bool point,
             bool trim_zeros, bool allow_exponent, bool& fits, std::string& text,
             std::int32_t& status);
// A real as text, fixed or exponential by magnitude.
std::string UT_RTOC(float value);

// ---------------------------------------------------------------------------------------------
// Host services.
// The support library's start-up (input/output state, separator table); called by ST_DEF_SYSTEM.
void UT_DEF_SYSTEM(std::int32_t& status);

// State of the input/output layer that matters here: when OUTPUT_LOG is on, every console line
// and prompt is also written to the text file on unit 40.
struct UtIoState {
  bool output_log = false;
  std::string last_line;
  int lines_per_page = 16;
};
UtIoState& ut_io_state();

// The command line. The entry hands argc/argv over once with ut_set_command_line; without that,
// the process's own command line (/proc/self/cmdline) is used. A null ARGV returns to that.
void ut_set_command_line(int argc, const char* const* argv);
// ARGS is resized to MAX_ARGS blank entries; ARGS[0] receives the program name, ARGS[1].. the
// arguments, at most MAX_ARGS in all. NUM_ARGS = number of arguments + 1, even when that exceeds
// MAX_ARGS. MAX_ARGS below 1: 10001.
void UT_GETARGS(std::int32_t max_args, std::int32_t& num_args, std::vector<std::string>& args,
                std::int32_t& status);

// PREFIX + NUMBER (zero-padded to NUM_CHARS when FIXED_WIDTH; NUM_CHARS 0 leaves it out) + SUFFIX.
// A number wider than NUM_CHARS sets OVERFLOW and leaves FILE_NAME unchanged.
// FIXED_WIDTH with NUM_CHARS < 0: 10017.
void UT_FILENAME(std::string_view prefix, std::int32_t number, bool fixed_width,
                 std::int32_t num_chars, std::string_view suffix, bool& overflow,
                 std::string& file_name, std::int32_t& status);

// Text files on units 1..99. MODE "READ" or "UPDATE": the file must exist; any other mode
// creates or replaces it. RETSTAT 0 open, 1 not opened. UNIT outside 1..99: 10017.
// PROMPT true is not supported (nobody prompts for file names here): it opens FILE_NAME as given.
void UT_OPEN_ASCIIFILE(bool prompt, std::string_view mode, std::int32_t unit,
                       std::string_view file_name, std::int32_t& retstat, std::int32_t& status);
// The system's error number of the last UT_OPEN_ASCIIFILE that did not open its file (EISDIR for
// a directory, ENOENT for an empty name); 0 after one that did.
int ut_open_error();
// Closes the file on UNIT (nothing when none is open). UNIT outside 1..99: 10017.
void UT_CLOSE_ASCIIFILE(std::int32_t unit, std::int32_t& status);
// Reads the next line from UNIT into LINE, without its line end (a trailing carriage return is
// dropped too). RETSTAT 0 line read, 1 end of file, 2 read failed or no file open on UNIT.
void UT_READ_ASCIILINE(std::int32_t unit, std::string& line, std::int32_t& retstat,
                       std::int32_t& status);

// Bytes that one unit of a direct-access record length stands for: 1 on Linux.
void UT_RECL(std::int32_t& bytes_per_unit, std::int32_t& status);
// "LINUX" and "PC".
void UT_SYSTEM_NAME(std::string& system, std::string& machine, std::int32_t& status);

// ELAPSED: seconds since the first call of the run, from the monotonic clock, with fractions of
// a second (differences never go negative and do not jump with the time of day). CPU: processor
// seconds of the process.
void UT_TIMES(float& elapsed, float& cpu, std::int32_t& status);
// Replaces the monotonic clock behind UT_TIMES (for tests) by a function giving seconds; an
// empty function restores the real one. The origin is taken again at the next call.
void ut_set_elapsed_clock(std::function<double()> clock);

// NBYTES bytes from the heap. NBYTES below 1: 10017; allocation failure: 11002.
void UT_MALLOC(std::int64_t nbytes, void*& pointer, std::int32_t& status);
// Returns a block from UT_MALLOC to the heap (a null pointer is ignored).
void UT_FREE(void* pointer, std::int32_t& status);
// Sleeps SECONDS * 1000 milliseconds, truncated.
void UT_SLEEP(float seconds, std::int32_t& status);
// Exchanges the values of I1 and I2.
void UT_ISWAP(std::int32_t& i1, std::int32_t& i2, std::int32_t& status);
// True when the machine stores the most significant byte first. Ignores STATUS.
bool UT_BIG_ENDIAN(std::int32_t& status);

// "~" and "~user" at the start of a path become the user's home directory; leading blanks are
// dropped; other paths are copied. RETSTAT 0 success, non-zero when the home directory is unknown.
void UT_TRANS_PATH(std::string_view in_path, std::int32_t& retstat, std::string& out_path,
                   std::int32_t& status);
// Home directory of USER (blank: the current user). RETSTAT 1 when it is unknown.
void UT_USERPATH(std::string_view user, std::int32_t& retstat, std::string& path,
                 std::int32_t& status);
// The current user's login name from the password database, "*** UNKNOWN ***" if none.
std::string UT_LOGINNAME(std::int32_t& status);
// Home directory of USER from the password database (blank USER: the current user); empty
// when unknown.
std::string UT_HOMEDIR(std::string_view user, std::int32_t& status);

// ---------------------------------------------------------------------------------------------
// Fixed-width fields (Fortran I and F edit descriptors): right-aligned in WIDTH columns,
// asterisks filling the field when the number does not fit.
std::string ut_fmt_int(std::int64_t value, int width);
std::string ut_fmt_real(double value, int width, int decimals);
