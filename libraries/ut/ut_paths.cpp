// Path translation ("~" and "~user") and the user names behind it, from the password database.
#include <pwd.h>
#include <unistd.h>

#include <vector>

#include "ut.h"

namespace {
constexpr std::string_view kUnknownUser = "*** UNKNOWN ***";

// The password entry of USER (empty: of the real user id); false when there is none.
bool password_entry(const std::string& user, std::string& name, std::string& home) {
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
  passwd entry{};
  passwd* found = nullptr;
  while (true) {
    const int error =
        user.empty() ? getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found)
                     : getpwnam_r(user.c_str(), &entry, buffer.data(), buffer.size(), &found);
    if (error == ERANGE && buffer.size() < (1u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (error != 0 || found == nullptr) return false;
    break;
  }
  name = entry.pw_name != nullptr ? entry.pw_name : "";
  home = entry.pw_dir != nullptr ? entry.pw_dir : "";
  return true;
}

std::string trimmed(std::string_view text) {
  return std::string(text.substr(0, static_cast<std::size_t>(SLEN(text))));
}
}  // namespace

std::string UT_LOGINNAME(std::int32_t& status) {
  if (st_bad(status, "Function UT_LOGINNAME V0.3 ")) return std::string(kUnknownUser);
  std::string name;
  std::string home;
  if (!password_entry("", name, home) || name.empty()) return std::string(kUnknownUser);
  return name;
}

std::string UT_HOMEDIR(std::string_view user, std::int32_t& status) {
  if (st_bad(status, "Function UT_HOMEDIR V0.4 ")) return {};
  std::string name;
  std::string home;
  if (!password_entry(trimmed(user), name, home)) return {};
  return home;
}

void UT_USERPATH(std::string_view user, std::int32_t& retstat, std::string& path,
                 std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine UT_USERPATH V0.1 ";
  if (st_bad(status, kRoutine)) return;
  retstat = 0;
  std::string name = trimmed(user);
  if (name.empty()) {
    name = UT_LOGINNAME(status);
    if (st_bad(status, kRoutine)) return;
    if (name == kUnknownUser) {
      retstat = 1;
      return;
    }
  }
  const std::string home = UT_HOMEDIR(name, status);
  if (st_bad(status, kRoutine)) return;
  if (SLEN(home) == 0) {
    retstat = 1;
    return;
  }
  path = home;
}

void UT_TRANS_PATH(std::string_view in_path, std::int32_t& retstat, std::string& out_path,
                   std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine UT_TRANS_PATH V0.3 ";
  if (st_bad(status, kRoutine)) return;
  retstat = 0;
  const std::size_t length = static_cast<std::size_t>(SLEN(in_path));
  if (length == 0) {
    out_path.clear();
    return;
  }
  const std::size_t start = in_path.find_first_not_of(' ');
  const std::string_view path = in_path.substr(start, length - start);
  if (path.front() != '~') {
    out_path = std::string(path);
    return;
  }
  const std::size_t slash = path.find('/');
  const std::string_view user =
      slash == std::string_view::npos ? path.substr(1) : path.substr(1, slash - 1);
  std::string home;
  UT_USERPATH(user, retstat, home, status);
  if (st_bad(status, kRoutine)) return;
  if (retstat != 0) {
    UT_WRITE("WARNING: Problem obtaining home directory information", status);
    return;
  }
  std::string_view rest = slash == std::string_view::npos ? std::string_view{} : path.substr(slash);
  if (!home.empty() && home.back() == '/' && !rest.empty()) rest.remove_prefix(1);
  out_path = home + std::string(rest);
}
