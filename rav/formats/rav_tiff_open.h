// Opening a TIFF file through libtiff over a descriptor of our own, so that none of libtiff's
// messages reach the console and no read costs more than one system call.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <string>
#include <vector>

// The file libtiff works on: the descriptor stays the caller's (libtiff never closes it; close
// it after TIFFClose), the position is kept here and reads and writes are preads and pwrites at
// it, without a seek. Small reads are served from one block read ahead, so that the header, a
// directory and its tags cost one system call, not one each. libtiff's last error message is
// kept in ERROR.
struct RavTiffFile {
  int descriptor = -1;
  std::uint64_t position = 0;
  std::string error;
  std::vector<char> ahead;      // the block read ahead
  std::uint64_t ahead_at = 0;   // its offset in the file
};

// libtiff over FILE (NAME for its messages) in MODE ("r", "w8"...); FILE must outlive the
// handle. Its warnings are dropped; no single allocation of libtiff's may exceed 512 MB, so that
// a damaged header cannot ask for more. Null when libtiff refuses the file.
TIFF* rav_tiff_open(RavTiffFile& file, const std::string& name, const char* mode);
