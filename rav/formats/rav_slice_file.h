// The output slice file: headerless fixed-length records of NUM_X x NUM_Y floats in the
// machine's byte order, record 1 first.
#pragma once

#include <cstdint>
#include <span>
#include <string>

// The file is held open by its descriptor for the run and closed when the object goes. Every
// record goes out with pwrite at a 64-bit offset, so there is no buffer that could hide a failed
// write until the close, and a record lands at its place whatever order the records come in.
class SliceFile {
 public:
  SliceFile() = default;
  ~SliceFile();
  SliceFile(const SliceFile&) = delete;
  SliceFile& operator=(const SliceFile&) = delete;

  // How a file is opened: created if needed and cut to nothing (CUT), opened as it is (KEEP:
  // other processes of the run write into it too), or created and refused if it exists (NEW).
  enum class Mode { CUT, KEEP, NEW };
  // Opens NAME for records of RECORD_BYTES bytes. On failure answers false with the system's
  // error number in ERROR_NUMBER.
  bool open(const std::string& name, std::int64_t record_bytes, int& error_number,
            Mode mode = Mode::CUT);
  // Forces the records written to the disk; answers the "ERROR: " line when that fails.
  std::string sync();
  bool is_open() const { return descriptor_ >= 0; }
  // The name the messages give: the name opened, or the one set with show_as (a file written
  // under a temporary name is named as the file it becomes).
  const std::string& name() const { return name_; }
  void show_as(const std::string& name) { name_ = name; }

  // Writes SLICE as record RECORD (from 1). Answers the "ERROR: " line of a failure (a record
  // that does not fit, a full device), or an empty text.
  std::string write(std::int32_t record, std::span<const float> slice);
  // Closes the file; answers the "ERROR: " line when the data did not reach the disk.
  std::string close();

 private:
  int descriptor_ = -1;
  std::string name_;
  std::int64_t record_bytes_ = 0;
};
