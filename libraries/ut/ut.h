// Support library: status convention, message output, text toolkit and host services.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// ---------------------------------------------------------------------------------------------
// Status values. Every routine that takes a status does its work only when it is ST_OK.
constexpr std::int32_t ST_OK = INT32_MIN + 1;             // 0x80000001
constexpr std::int32_t ST_ESCAPE = INT32_MAX;             // 0x7FFFFFFF
constexpr std::int32_t ST_SPECIAL_INPUT = INT32_MIN + 2;  // 0x80000002

// Sets the status to ST_OK and blanks the error position; the first call of the run also
// starts the support library.
void ST_DEF_SYSTEM(std::int32_t& status);
// Records POSITION as the error position unless one is already recorded.
void ST_SAVE(std::string_view position);
// The error kind of STATUS (absolute value modulo 10000), or STATUS itself for the special values.
std::int32_t ST_ERRORCODE(std::int32_t status);
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
// Message output. Trailing blanks, NULs, tabs and line ends are dropped; an empty text prints
// a line holding one blank.
void UT_WRITE(std::string_view text, std::int32_t& status);

// ---------------------------------------------------------------------------------------------
// Text toolkit.
// Position (from 1) of the last character that is not blank, NUL, tab, line feed or carriage
// return; 0 if there is none.
int SLEN(std::string_view text);

// Fixed-width fields: right-aligned in WIDTH columns, asterisks filling the field when the
// number does not fit.
std::string ut_fmt_int(std::int64_t value, int width);
std::string ut_fmt_real(double value, int width, int decimals);
