// The raw file layer: two stdio streams (one input, one output) in a process-wide table.
// These routines never touch the status; they answer with RETSTAT and print their own few
// lines straight to standard output.
#define _FILE_OFFSET_BITS 64  // 64-bit file offsets also where long is 32 bits

#include <sys/types.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <utility>

#include "dax.h"

static_assert(sizeof(off_t) == 8, "image files over 2 GiB need 64-bit file offsets");

DaxFileTable dax_file_table;

namespace {
int g_open_error = 0;  // errno of the last open that failed
}  // namespace

int dax_open_error() { return g_open_error; }

namespace {

constexpr std::int32_t kInputId = 1;
constexpr std::int32_t kOutputId = 2;

// Swaps the whole units among the first NBYTES bytes; a trailing partial unit stays as it is.
void swap_bytes(std::uint8_t* bytes, std::int64_t nbytes, std::int32_t swap) {
  if (swap == 1) {
    for (std::int64_t i = 0; i + 1 < nbytes; i += 2) std::swap(bytes[i], bytes[i + 1]);
  } else if (swap == 2) {
    for (std::int64_t i = 0; i + 3 < nbytes; i += 4) {
      std::swap(bytes[i], bytes[i + 3]);
      std::swap(bytes[i + 1], bytes[i + 2]);
    }
  }
}

// The checks shared by the two binary reads; true when the read may go ahead.
bool input_ready(std::int32_t file_id, std::int64_t nbytes, std::size_t bufsize, bool warn,
                 std::int32_t& retstat) {
  if (nbytes < 0 || static_cast<std::uint64_t>(nbytes) > bufsize ||
      file_id != dax_file_table.ut_file_in_id) {
    retstat = 1;
    return false;
  }
  if (dax_file_table.ut_file_in_open == 0) {
    if (warn) std::printf("WARNING: Input file is not open\n");
    retstat = 2;
    return false;
  }
  return true;
}

// The part shared by the two binary writes: COUNT items of SIZE bytes to the output file, when
// FILE_ID is the output and it is open. A short write prints WHO and the run-time library's
// error number and gives RETSTAT 3.
void write_output(std::int32_t file_id, const void* items, std::size_t size, std::int64_t count,
                  const char* who, std::int32_t& retstat, std::int64_t& nwritten) {
  if (file_id != dax_file_table.ut_file_out_id) {
    retstat = 1;
    return;
  }
  if (dax_file_table.ut_file_out_open == 0) {
    retstat = 2;
    return;
  }
  errno = 0;
  nwritten = static_cast<std::int64_t>(
      std::fwrite(items, size, static_cast<std::size_t>(count), dax_file_table.ut_file_out));
  if (nwritten != count) {
    std::printf("%serrno = %i\n", who, errno);
    retstat = 3;
    return;
  }
  retstat = 0;
}

}  // namespace

void DAX_FILEOPENC(const char* name, std::int32_t mode, std::int32_t& retstat,
                   std::int32_t& file_id) {
  static constexpr const char* kStreamModes[] = {"rb", "wb", "r", "w"};
  if (name == nullptr || mode < DAX_MODE_READ || mode > DAX_MODE_WRITE_ASCII) {
    retstat = 1;
    return;
  }
  const bool input = mode == DAX_MODE_READ || mode == DAX_MODE_READ_ASCII;
  std::int32_t& open_flag =
      input ? dax_file_table.ut_file_in_open : dax_file_table.ut_file_out_open;
  if (open_flag != 0) {
    retstat = 2;
    return;
  }
  errno = 0;
  std::FILE* stream = std::fopen(name, kStreamModes[mode - 1]);
  if (stream == nullptr) {
    g_open_error = errno != 0 ? errno : EIO;
    retstat = 3;
    return;
  }
  g_open_error = 0;
  if (input) {
    dax_file_table.ut_file_in = stream;
    dax_file_table.ut_file_in_id = kInputId;
  } else {
    dax_file_table.ut_file_out = stream;
    dax_file_table.ut_file_out_id = kOutputId;
  }
  open_flag = 1;
  file_id = input ? kInputId : kOutputId;
  retstat = 0;
}

void DAX_FILECLOSEC(std::int32_t file_id, std::int32_t& retstat) {
  std::FILE** stream = nullptr;
  std::int32_t* open_flag = nullptr;
  if (file_id == dax_file_table.ut_file_in_id) {
    stream = &dax_file_table.ut_file_in;
    open_flag = &dax_file_table.ut_file_in_open;
  } else if (file_id == dax_file_table.ut_file_out_id) {
    stream = &dax_file_table.ut_file_out;
    open_flag = &dax_file_table.ut_file_out_open;
  } else {
    retstat = 1;
    return;
  }
  if (*open_flag == 0) {
    retstat = 2;
    return;
  }
  // The slot is free afterwards whatever fclose says; a failed flush means data were lost.
  const int result = std::fclose(*stream);
  *stream = nullptr;
  *open_flag = 0;
  retstat = result == 0 ? 0 : 3;
}

void DAX_FILEREADC(std::int32_t file_id, std::int64_t nbytes, std::int32_t swap,
                   std::int32_t& retstat, std::int64_t& nread, std::span<std::uint8_t> buffer) {
  if (!input_ready(file_id, nbytes, buffer.size(), true, retstat)) return;
  nread = static_cast<std::int64_t>(
      std::fread(buffer.data(), 1, static_cast<std::size_t>(nbytes), dax_file_table.ut_file_in));
  if (nread == nbytes) {
    retstat = 0;
  } else {
    std::printf("WARNING: %" PRId64 " bytes input instead of %" PRId64 " requested\n", nread,
                nbytes);
    retstat = 5;
  }
  swap_bytes(buffer.data(), nread, swap);
}

void DAX_FILEPREADC(std::int32_t file_id, std::int64_t offset, std::int64_t nbytes,
                    std::int32_t swap, std::int32_t& retstat, std::int64_t& nread,
                    std::span<std::uint8_t> buffer) {
  if (!input_ready(file_id, nbytes, buffer.size(), false, retstat)) return;
  if (offset < 0 || fseeko(dax_file_table.ut_file_in, static_cast<off_t>(offset), SEEK_SET) != 0) {
    retstat = 4;
    return;
  }
  nread = 0;
  if (nbytes > 0) {
    nread = static_cast<std::int64_t>(std::fread(buffer.data(), 1, static_cast<std::size_t>(nbytes),
                                                 dax_file_table.ut_file_in));
  }
  retstat = nread == nbytes ? 0 : 5;
  swap_bytes(buffer.data(), nread, swap);
}

void DAX_ASCIIREADC(std::int32_t file_id, std::int32_t maxlen, std::int32_t& retstat,
                    char* line) {
  if (file_id != dax_file_table.ut_file_in_id || maxlen < 1 || line == nullptr) {
    retstat = 1;
    return;
  }
  if (dax_file_table.ut_file_in_open == 0) {
    std::printf("WARNING: Input file is not open\n");
    retstat = 2;
    return;
  }
  if (std::fgets(line, maxlen, dax_file_table.ut_file_in) == nullptr) {
    line[0] = '\0';
    retstat = 3;
  } else {
    retstat = 0;
  }
  // A line holding only its line end reads as one blank; a last line of one character
  // without a line end keeps its character.
  std::size_t length = std::strlen(line);
  if (length == 1 && (line[0] == '\n' || line[0] == '\r')) line[0] = ' ';
  std::memset(line + length, 0, static_cast<std::size_t>(maxlen) - length);
}

void DAX_FILEWRITEC(std::int32_t file_id, std::int64_t nbytes, std::int32_t swap,
                    std::span<std::uint8_t> buffer, std::int32_t& retstat,
                    std::int64_t& nwritten) {
  if (nbytes < 0 || static_cast<std::uint64_t>(nbytes) > buffer.size()) {
    retstat = 1;
    return;
  }
  swap_bytes(buffer.data(), nbytes, swap);
  write_output(file_id, buffer.data(), 1, nbytes, "dax_filewritec: ", retstat, nwritten);
}

void DAX_FILEWREALC(std::int32_t file_id, std::int64_t n, std::span<const float> data,
                    std::int32_t& retstat, std::int64_t& nwritten) {
  if (n < 0 || static_cast<std::uint64_t>(n) > data.size()) {
    retstat = 1;
    return;
  }
  write_output(file_id, data.data(), sizeof(float), n, "ERROR: dax_filewrealc: ", retstat,
               nwritten);
}
