#include "rav_safe_output.h"

#include <fcntl.h>
#include <signal.h>
#include <dirent.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

// ---------------------------------------------------------------------------------------------
// The files a signal removes. The handler may run on any thread at any moment, so it reads only
// these fixed buffers, each published by its flag after its path is in place.
enum Slot { TEMPORARY, TEMPORARY_INFO, TEMPORARY_HEADER, LOCK, SLOTS };
constexpr std::size_t kPathBytes = 4096;
// A file is named by the descriptor of its folder and its name in that folder: it is removed
// from the folder it was created in, even when that folder has been moved meanwhile.
struct SignalSlot {
  char name[kPathBytes] = {};
  int folder = AT_FDCWD;
  std::atomic<int> used{0};
};
SignalSlot g_slots[SLOTS];
// While the files are renamed into place a signal waits: the volume and its info file must go
// together. The signal that came meanwhile is raised again afterwards.
std::atomic<int> g_renaming{0};
std::atomic<int> g_pending{0};
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs lock-free flags");

void remember(Slot slot, int folder, const std::string& name) {
  SignalSlot& s = g_slots[slot];
  s.used.store(0);
  if (name.empty() || name.size() >= kPathBytes) return;  // too long to keep: not removed
  std::memcpy(s.name, name.c_str(), name.size() + 1);
  s.folder = folder;
  s.used.store(1);
}

void forget(Slot slot) { g_slots[slot].used.store(0); }

// Removes NAME in FOLDER: a file, or a folder of files (a volume of one file per slice) with
// everything in it. Only system calls, so that a signal handler may call it.
void remove_entry(int folder, const char* name) {
  if (::unlinkat(folder, name, 0) == 0 || errno != EISDIR) return;
  const int inner = ::openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (inner >= 0) {
    alignas(8) char buffer[4096];
    // Entries removed while the folder is listed may hide others: listed again from the start
    // until it lists nothing to remove.
    for (bool removed = true; removed;) {
      removed = false;
      ::lseek(inner, 0, SEEK_SET);
      for (long n; (n = ::syscall(SYS_getdents64, inner, buffer, sizeof buffer)) > 0;) {
        for (long at = 0; at < n;) {
          const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
          at += entry->d_reclen;
          const char* entry_name = entry->d_name;
          if (entry_name[0] == '.' && (entry_name[1] == 0 ||
                                       (entry_name[1] == '.' && entry_name[2] == 0))) {
            continue;
          }
          removed |= ::unlinkat(inner, entry_name, 0) == 0;
        }
      }
    }
    ::close(inner);
  }
  ::unlinkat(folder, name, AT_REMOVEDIR);
}

extern "C" void remove_and_end(int signal_number) {
  if (g_renaming.load() != 0) {
    g_pending.store(signal_number);
    return;
  }
  const int saved = errno;
  for (SignalSlot& s : g_slots) {
    if (s.used.load() != 0) remove_entry(s.folder, s.name);
  }
  // Ended by the signal itself, as the process would have been without this handler.
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  ::sigaction(signal_number, &action, nullptr);
  errno = saved;
  ::raise(signal_number);
}

// ---------------------------------------------------------------------------------------------

struct FileId {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileId&) const = default;
};

// The file NAME in the folder FOLDER (a descriptor, or AT_FDCWD with a path).
bool identify(int folder, const std::string& name, FileId& id) {
  struct stat info {};
  if (::fstatat(folder, name.c_str(), &info, 0) != 0) return false;
  id = {info.st_dev, info.st_ino};
  return true;
}

// The process that holds the lock, as it wrote itself into the lock file (0 when unknown).
long lock_holder(int descriptor) {
  char text[32] = {};
  const ssize_t n = ::pread(descriptor, text, sizeof text - 1, 0);
  return n > 0 ? std::strtol(text, nullptr, 10) : 0;
}

// Takes the lock file NAME in FOLDER: its descriptor, or -1 with ERROR_NUMBER (LOCKED and
// HOLDER when another run holds it). A lock file removed by the run that held it, between our
// open and our lock, is taken again from the start.
int take_lock(int folder, const std::string& name, int& error_number, long& holder,
              bool& locked) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int descriptor = ::openat(folder, name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (descriptor < 0) {
      error_number = errno;
      return -1;
    }
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
      error_number = errno;
      locked = error_number == EWOULDBLOCK;
      holder = locked ? lock_holder(descriptor) : 0;
      ::close(descriptor);
      return -1;
    }
    struct stat held {};
    FileId now;
    if (::fstat(descriptor, &held) == 0 && identify(folder, name, now) &&
        now == FileId{held.st_dev, held.st_ino}) {
      const std::string pid = std::to_string(::getpid()) + "\n";
      if (::ftruncate(descriptor, 0) == 0) {
        [[maybe_unused]] const ssize_t written = ::pwrite(descriptor, pid.data(), pid.size(), 0);
      }
      return descriptor;
    }
    ::close(descriptor);
  }
  error_number = EAGAIN;
  return -1;
}

std::string folder_of(const std::string& path) {
  const std::string parent = std::filesystem::path(path).parent_path().string();
  return parent.empty() ? "." : parent;
}

std::string base_of(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

}  // namespace

std::string rav_followed_link(const std::string& name) {
  struct stat info {};
  if (::lstat(name.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return name;
  std::error_code error;
  const std::filesystem::path target = std::filesystem::canonical(name, error);
  return error ? name : target.string();
}

std::string rav_temporary_name(const std::string& name) {
  return name + ".tmp-" + std::to_string(::getpid());
}

void rav_remove_files_on_signals() {
  struct sigaction action {};
  action.sa_handler = remove_and_end;
  sigemptyset(&action.sa_mask);
  for (int signal_number : kSignals) sigaddset(&action.sa_mask, signal_number);
  for (int signal_number : kSignals) {
    struct sigaction previous {};
    // A signal the process was started to ignore (nohup) stays ignored.
    if (::sigaction(signal_number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) {
      continue;
    }
    ::sigaction(signal_number, &action, nullptr);
  }
}

SafeOutput::~SafeOutput() {
  [[maybe_unused]] const std::string ignored = slices_.close();
  if (owner_ && !temporary_.empty()) {
    remove_entry(folder_fd_, base_of(temporary_).c_str());
    ::unlinkat(folder_fd_, base_of(temporary_info()).c_str(), 0);
    ::unlinkat(folder_fd_, base_of(temporary_header()).c_str(), 0);
  }
  forget_files();
  release_lock();
  if (folder_fd_ >= 0) ::close(folder_fd_);
}

bool SafeOutput::open_folder(const std::string& path, int& error_number) {
  folder_ = folder_of(path);
  folder_fd_ = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  struct stat info {};
  if (folder_fd_ < 0 || ::fstat(folder_fd_, &info) != 0) {
    error_number = errno;
    return false;
  }
  folder_device_ = info.st_dev;
  folder_inode_ = info.st_ino;
  return true;
}

void SafeOutput::remember_files() {
  remember(TEMPORARY, folder_fd_, base_of(temporary_));
  remember(TEMPORARY_INFO, folder_fd_, base_of(temporary_info()));
  remember(TEMPORARY_HEADER, folder_fd_, base_of(temporary_header()));
}

SafeOutput::Opened SafeOutput::create(const std::string& name, std::int64_t record_bytes,
                                      int& error_number, long& holder) {
  error_number = 0;
  holder = 0;
  if (name.empty()) {
    error_number = ENOENT;
    return Opened::NO;
  }
  name_ = rav_followed_link(name);
  struct stat info {};
  const bool exists = ::stat(name_.c_str(), &info) == 0;
  if (slices_.writes_folder()) {
    // A folder of slices replaces no file, and no folder that holds anything.
    if (exists && !S_ISDIR(info.st_mode)) error_number = ENOTDIR;
    std::error_code error;
    if (exists && S_ISDIR(info.st_mode) && !std::filesystem::is_empty(name_, error)) {
      error_number = ENOTEMPTY;
    }
    if (error_number != 0) return Opened::NO;
  } else if (exists && !S_ISREG(info.st_mode)) {
    if (S_ISDIR(info.st_mode)) {
      error_number = EISDIR;
      return Opened::NO;
    }
    // A device or a pipe: written in place.
    if (!slices_.open(name_, record_bytes, error_number)) return Opened::NO;
    slices_.show_as(name);
    return Opened::YES;
  }
  if (!open_folder(name_, error_number)) return Opened::NO;
  bool locked = false;
  const std::string lock = base_of(lock_name(name_));
  lock_ = take_lock(folder_fd_, lock, error_number, holder, locked);
  if (lock_ < 0) return locked ? Opened::LOCKED : Opened::NO;
  remember(LOCK, folder_fd_, lock);
  temporary_ = rav_temporary_name(name_);
  remember_files();
  FileId written;
  if (!slices_.open(temporary_, record_bytes, error_number, SliceFile::Mode::NEW) ||
      !identify(folder_fd_, base_of(temporary_), written)) {
    if (error_number == 0) error_number = errno;
    forget_files();
    temporary_.clear();
    return Opened::NO;
  }
  owner_ = true;
  temporary_device_ = written.device;
  temporary_inode_ = written.inode;
  slices_.show_as(name);
  return Opened::YES;
}

bool SafeOutput::join(const std::string& name, const std::string& temporary,
                      std::int64_t record_bytes, int& error_number) {
  name_ = name;
  temporary_ = temporary;
  if (temporary_.empty()) {
    return slices_.open(name_, record_bytes, error_number, SliceFile::Mode::KEEP);
  }
  if (!open_folder(temporary_, error_number)) return false;
  remember_files();
  owner_ = true;
  if (!slices_.open(temporary_, record_bytes, error_number, SliceFile::Mode::KEEP)) return false;
  slices_.show_as(name);
  return true;
}

std::string SafeOutput::close() {
  std::string failure = slices_.sync();
  const std::string closed = slices_.close();
  return failure.empty() ? closed : failure;
}

std::string SafeOutput::check_unchanged() const {
  FileId folder, written;
  if (!identify(AT_FDCWD, folder_, folder) || !(folder == FileId{folder_device_, folder_inode_})) {
    return "ERROR: The folder of the output file was removed or replaced during the run:\n"
           "       " + folder_ + "\n"
           "       The volume was not written; run again";
  }
  if (!identify(folder_fd_, base_of(temporary_), written) ||
      !(written == FileId{temporary_device_, temporary_inode_})) {
    return "ERROR: The output file was removed or replaced while the run wrote it:\n"
           "       " + temporary_ + " (to become " + name_ + ")\n"
           "       The volume was not written; run again";
  }
  return "";
}

std::string SafeOutput::commit() {
  if (temporary_.empty()) return "";
  if (std::string changed = check_unchanged(); !changed.empty()) return changed;
  const std::string base = base_of(name_);
  g_renaming.store(1);
  std::string failure;
  if (::renameat(folder_fd_, base_of(temporary_).c_str(), folder_fd_, base.c_str()) != 0) {
    failure = "ERROR: Problem renaming the output file " + temporary_ + " to " + name_ + ": " +
              std::strerror(errno);
  } else {
    // The new volume is in place: an info file or header of the earlier one must not stay
    // beside it.
    const struct {
      std::string temporary, suffix, what;
    } companions[] = {{temporary_info(), ".info", "volume info file"},
                      {temporary_header(), ".mhd", "MetaImage header"}};
    for (const auto& c : companions) {
      const std::string target = base + c.suffix;
      if (::renameat(folder_fd_, base_of(c.temporary).c_str(), folder_fd_, target.c_str()) == 0) {
        continue;
      }
      const int error = errno;
      ::unlinkat(folder_fd_, target.c_str(), 0);
      if (error != ENOENT && failure.empty()) {
        failure = "ERROR: Problem renaming the " + c.what + " " + c.temporary + " to " + name_ +
                  c.suffix + ": " + std::strerror(error);
      }
    }
    owner_ = false;
    forget_files();
  }
  g_renaming.store(0);
  if (const int pending = g_pending.exchange(0); pending != 0) ::raise(pending);
  return failure;
}

void SafeOutput::hand_over() {
  owner_ = false;
  forget_files();
}

void SafeOutput::forget_files() {
  forget(TEMPORARY);
  forget(TEMPORARY_INFO);
  forget(TEMPORARY_HEADER);
}

void SafeOutput::release_lock() {
  if (lock_ < 0) return;
  // Removed while still held, so that no other run takes a lock file that is going.
  forget(LOCK);
  ::unlinkat(folder_fd_, base_of(lock_name(name_)).c_str(), 0);
  ::close(lock_);
  lock_ = -1;
}
