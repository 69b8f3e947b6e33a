// The output of a run, written so that an earlier volume is never lost: the slices go into a
// temporary file beside the output file, which takes the output file's name (and its info file
// the info file's name) only when the whole volume is there. A run that fails, is refused or is
// stopped by a signal leaves an earlier volume and its info file as they were and removes what
// it wrote. A lock held for the whole run refuses a second run on the same output file.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "rav_slice_file.h"

// NAME with a symbolic link followed to the file it names (NAME itself when it is no link, or
// one that leads nowhere): the file an output replaces.
std::string rav_followed_link(const std::string& name);
// The name under which this process writes the output NAME before renaming it into place.
std::string rav_temporary_name(const std::string& name);

class SafeOutput {
 public:
  SafeOutput() = default;
  // Removes the temporary files unless they were renamed into place or handed over, and
  // releases the lock.
  ~SafeOutput();
  SafeOutput(const SafeOutput&) = delete;
  SafeOutput& operator=(const SafeOutput&) = delete;

  enum class Opened { YES, NO, LOCKED };
  // Takes the lock of NAME and creates the temporary file for records of RECORD_BYTES bytes
  // beside it (a symbolic link is followed: the volume goes where it points). An output that is
  // a device or a pipe is written in place instead: it holds no volume that could be lost.
  // NO: ERROR_NUMBER is the system's error number; LOCKED: another run holds the lock (process
  // HOLDER, 0 when unknown).
  Opened create(const std::string& name, std::int64_t record_bytes, int& error_number,
                long& holder);
  // Another process of the run: opens TEMPORARY, which the first one created, to write its own
  // records into it. TEMPORARY empty: NAME is written in place.
  bool join(const std::string& name, const std::string& temporary, std::int64_t record_bytes,
            int& error_number);

  SliceFile& slices() { return slices_; }
  const std::string& name() const { return name_; }
  // The file being written ("" when the output is written in place) and the info file that
  // goes with it.
  const std::string& temporary() const { return temporary_; }
  std::string temporary_info() const { return temporary_ + ".info"; }
  // The MetaImage header that goes with it (written only for a raw volume).
  std::string temporary_header() const { return temporary_ + ".mhd"; }
  // The lock file beside the output file.
  static std::string lock_name(const std::string& name) { return name + ".lock"; }

  // Closes the slice file (its records forced to the disk); answers the "ERROR: " line when the
  // data did not reach the disk.
  std::string close();
  // "" or the "ERROR: " lines when the folder of the output file, or the temporary file, is no
  // longer the one the run created (removed or replaced during the run).
  std::string check_unchanged() const;
  // Renames the temporary file (and its info file and header, when written) into place, after
  // making sure that neither it nor its folder was removed or replaced during the run. Answers
  // "" or the "ERROR: " lines of the failure (the earlier volume is then as it was).
  std::string commit();
  // On a process other than the first, once every process has written its records: what
  // happens to the temporary file is the first process's to decide.
  void hand_over();

 private:
  bool open_folder(const std::string& path, int& error_number);
  void remember_files();
  void forget_files();
  void release_lock();

  SliceFile slices_;
  std::string name_;       // the output file, links followed
  std::string temporary_;  // "" when written in place
  std::string folder_;     // the folder of NAME, as named
  int folder_fd_ = -1;     // the folder itself: files are created, renamed, removed in it
  dev_t folder_device_ = 0, temporary_device_ = 0;
  ino_t folder_inode_ = 0, temporary_inode_ = 0;
  int lock_ = -1;          // the lock file's descriptor (first process only)
  bool owner_ = false;     // this process removes the temporary files on failure
};

// Installs the handlers of SIGINT, SIGTERM and SIGHUP that remove the files of a SafeOutput
// still being written and then end the process by the signal as it would have ended without
// them. Call once at the start of the process.
void rav_remove_files_on_signals();
