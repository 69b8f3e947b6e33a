// The output slice file: headerless fixed-length records of NUM_X x NUM_Y floats in the
// machine's byte order, record 1 first; or, when asked for, the same slices as a TIFF stack or
// an HDF5 file.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "rav_volume_writer.h"

// The file is held open by its descriptor for the run and closed when the object goes. Every
// record goes out with pwrite at a 64-bit offset, so there is no buffer that could hide a failed
// write until the close, and a record lands at its place whatever order the records come in.
class SliceFile {
 public:
  SliceFile() = default;
  ~SliceFile();
  SliceFile(const SliceFile&) = delete;
  SliceFile& operator=(const SliceFile&) = delete;

  // Opens NAME for records of RECORD_BYTES bytes, created if needed and cut to nothing unless
  // KEEP (other processes of the run write into it too). On failure answers false with the
  // system's error number in ERROR_NUMBER.
  bool open(const std::string& name, std::int64_t record_bytes, int& error_number,
            bool keep = false);
  bool is_open() const { return descriptor_ >= 0 || writer_open_; }
  const std::string& name() const { return name_; }

  // Writes SLICE as record RECORD (from 1). Answers the "ERROR: " line of a failure (a record
  // that does not fit, a full device), or an empty text.
  std::string write(std::int32_t record, std::span<const float> slice);
  // Closes the file; answers the "ERROR: " line when the data did not reach the disk.
  std::string close();

  // From the next open on, the records go into a volume file of FORMAT with GEOMETRY (the
  // raw records for RAW). A TIFF stack or an HDF5 file is written by one process (never opened
  // with KEEP).
  void use_format(RavVolumeFormat format, const RavVolumeGeometry& geometry);
  // Closes the file and removes it: nothing of a volume that will not be complete stays.
  void abandon();

 private:
  std::unique_ptr<RavVolumeWriter> writer_;  // null: the raw records
  bool writer_open_ = false;
  RavVolumeGeometry geometry_;
  int descriptor_ = -1;
  std::string name_;
  std::int64_t record_bytes_ = 0;
};
