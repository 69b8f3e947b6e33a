// The lines of a parameter file: set, read, parsed as the worker parses them, written safely.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "master.h"
#include "rav_safe_output.h"
#include "ut.h"

void master_set(MasterLines& lines, const std::string& keyword, const std::string& value,
                const std::string& comment) {
  for (MasterLine& line : lines) {
    if (line.keyword != keyword) continue;
    line.value = value;
    if (!comment.empty()) line.comment = comment;
    return;
  }
  lines.push_back({keyword, value, comment});
}

std::string master_value(const MasterLines& lines, const std::string& keyword) {
  for (const MasterLine& line : lines) {
    if (line.keyword == keyword) return line.value;
  }
  return {};
}

ParameterSet master_parameters(const MasterLines& lines) {
  ParameterSet p;
  std::int32_t retstat = 0;
  for (const MasterLine& line : lines) {
    if (line.keyword.empty() || line.value.empty()) continue;
    std::int32_t status = ST_OK;
    RAV_PARSE_LINE(line.keyword + " = " + line.value, retstat, p, status);
  }
  return p;
}

std::string master_text(const MasterLines& lines) {
  constexpr std::size_t kCommentColumn = 36;
  std::string text = "! RAV_VUZAV PARAMETER FILE\n";
  for (const MasterLine& line : lines) {
    if (line.keyword.empty()) {
      text += line.comment.empty() ? "!\n" : "! " + line.comment + "\n";
      continue;
    }
    std::string row = line.keyword + " = " + line.value;
    if (!line.comment.empty()) {
      row.resize(std::max(row.size() + 1, kCommentColumn), ' ');
      row += "! " + line.comment;
    }
    text += row + "\n";
  }
  return text;
}

bool master_write_file(const std::string& file_name, const std::string& text, bool keep_earlier) {
  std::int32_t status = ST_OK;
  const std::string temporary = rav_temporary_name(file_name);
  std::FILE* file = std::fopen(temporary.c_str(), "w");
  bool ok = file != nullptr && std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (file != nullptr) ok = (std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0) && ok;
  if (file != nullptr) ok = std::fclose(file) == 0 && ok;
  const int why = errno;
  std::error_code ignored;
  if (ok && keep_earlier && std::filesystem::exists(file_name, ignored)) {
    std::filesystem::rename(file_name, file_name + "~", ignored);
  }
  if (ok && std::rename(temporary.c_str(), file_name.c_str()) == 0) return true;
  UT_WRITE("ERROR: Cannot write " + file_name + ": " + std::strerror(ok ? errno : why), status);
  std::remove(temporary.c_str());
  return false;
}
