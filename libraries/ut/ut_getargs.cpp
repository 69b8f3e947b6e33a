#include <fstream>
#include <iterator>
#include <optional>

#include "ut.h"

namespace {
std::optional<std::vector<std::string>> g_command_line;

// The process's own command line, for runs whose entry did not hand argc/argv over.
std::vector<std::string> process_command_line() {
  std::vector<std::string> words;
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    words.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  if (words.empty()) words.emplace_back();
  return words;
}
}  // namespace

void ut_set_command_line(int argc, const char* const* argv) {
  if (argv == nullptr) {
    g_command_line.reset();
    return;
  }
  std::vector<std::string> words;
  for (int i = 0; i < argc; ++i) words.emplace_back(argv[i] != nullptr ? argv[i] : "");
  if (words.empty()) words.emplace_back();
  g_command_line = std::move(words);
}

void UT_GETARGS(std::int32_t max_args, std::int32_t& num_args, std::vector<std::string>& args,
                std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine UT_GETARGS V0.6 ";
  if (st_bad(status, kRoutine)) return;
  if (max_args < 1) {
    ST_SAVE(kRoutine);
    status = 10001;
    return;
  }
  const std::vector<std::string> words =
      g_command_line ? *g_command_line : process_command_line();
  args.assign(static_cast<std::size_t>(max_args), std::string());
  for (std::size_t i = 0; i < words.size() && i < args.size(); ++i) args[i] = words[i];
  num_args = static_cast<std::int32_t>(words.size());
}
