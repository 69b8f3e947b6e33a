// The header builder of the image writer: one 1024-byte header assembled in memory, a key line
// at a time, then padded and written in one piece.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "dax.h"
#include "ut.h"

namespace {

constexpr std::size_t kHeaderBytes = 1024;
// Key lines may fill bytes 2 to 1021; "}" and the line feed take the last two.
constexpr std::size_t kTextEnd = kHeaderBytes - 2;
constexpr int kMaxText = 132;

struct ZelfaHeader {
  std::array<std::uint8_t, kHeaderBytes> buffer{'{', '\n'};
  std::size_t position = 2;  // 0-based index of the next free byte
};
ZelfaHeader zelfa_header;

// Adds KEY = VALUE cut to their significant lengths; the header routines report only through
// their result, so the status is set here.
void add_key_line(std::string_view routine, std::int32_t file_id, std::string_view key,
                  std::string_view value, std::int32_t& status) {
  if (st_bad(status, routine)) return;
  const int key_length = std::min(SLEN(key), kMaxText);
  if (key_length == 0) {
    ST_SAVE(routine);
    status = 180033;
    return;
  }
  const int value_length = std::min(SLEN(value), kMaxText);
  std::int32_t retstat = 0;
  DAX_ADD_ZELFASTRINGC(file_id, key_length, key, value_length, value, retstat);
  if (retstat != 0) {
    UT_WRITE(std::string("ERROR: No room left in the image header for the key ") +
                 std::string(key.substr(0, static_cast<std::size_t>(key_length))),
             status);
    ST_SAVE(routine);
    status = 181015;
  }
}

}  // namespace

void DAX_OPEN_ZELFAHEADER(std::int32_t, std::int32_t&) {
  zelfa_header.buffer[0] = '{';
  zelfa_header.buffer[1] = '\n';
  zelfa_header.position = 2;
}

void DAX_ADD_ZELFASTRINGC(std::int32_t, std::int32_t key_length, std::string_view key,
                          std::int32_t value_length, std::string_view value,
                          std::int32_t& retstat) {
  if (key_length < 0 || static_cast<std::size_t>(key_length) > key.size() || value_length < 0 ||
      static_cast<std::size_t>(value_length) > value.size()) {
    retstat = 1;
    return;
  }
  const std::size_t keys = static_cast<std::size_t>(key_length);
  const std::size_t values = static_cast<std::size_t>(value_length);
  // key, " = ", value, ";", line feed
  if (zelfa_header.position + keys + values + 5 > kTextEnd) {
    retstat = 1;
    return;
  }
  std::uint8_t* next = zelfa_header.buffer.data() + zelfa_header.position;
  std::memcpy(next, key.data(), keys);
  next += keys;
  std::memcpy(next, " = ", 3);
  next += 3;
  std::memcpy(next, value.data(), values);
  next += values;
  *next++ = ';';
  *next++ = '\n';
  zelfa_header.position = static_cast<std::size_t>(next - zelfa_header.buffer.data());
  retstat = 0;
}

void DAX_CLOSE_ZELFAHEADER(std::int32_t file_id, std::int32_t& retstat) {
  std::fill(zelfa_header.buffer.begin() + static_cast<std::ptrdiff_t>(zelfa_header.position),
            zelfa_header.buffer.begin() + static_cast<std::ptrdiff_t>(kTextEnd), ' ');
  zelfa_header.buffer[kTextEnd] = '}';
  zelfa_header.buffer[kTextEnd + 1] = '\n';
  std::int64_t written = 0;
  DAX_FILEWRITEC(file_id, kHeaderBytes, 0, zelfa_header.buffer, retstat, written);
}

void DAX_ADD_ZELFASTRING(std::int32_t file_id, std::string_view key, std::string_view value,
                         std::int32_t& status) {
  add_key_line("Subroutine DAX_ADD_ZELFASTRING V0.1 ", file_id, key, value, status);
}

void DAX_ADD_ZELFAINTEGER(std::int32_t file_id, std::string_view key, std::int32_t value,
                          std::int32_t& status) {
  add_key_line("Subroutine DAX_ADD_ZELFAINTEGER V0.1 ", file_id, key, UT_ITOC(value), status);
}
