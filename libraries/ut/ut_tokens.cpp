#include <algorithm>

#include "ut.h"

namespace {
constexpr std::size_t kTokenBuffer = 132;  // tokens longer than this are cut

// Set again by UT_DEF_SEPARATORS at start-up; initialised here as well so that the tokenizer
// works even before the support library is started.
std::string g_separators = " ,\t";
}  // namespace

void UT_DEF_SEPARATORS(std::int32_t& status) {
  if (st_bad(status, "Subroutine UT_DEF_SEPARATORS V0.1 ")) return;
  g_separators = " ,\t";
}

void UT_TOKENS(std::string_view text, std::int32_t max_tokens, bool& all_stored,
               std::int32_t& num_tokens, std::vector<std::string>& tokens, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine UT_TOKENS V0.2 ";
  if (st_bad(status, kRoutine)) return;
  if (max_tokens < 1) {
    ST_SAVE(kRoutine);
    status = 10001;
    return;
  }
  if (tokens.size() < static_cast<std::size_t>(max_tokens)) {
    tokens.resize(static_cast<std::size_t>(max_tokens));
  }
  const std::size_t length = static_cast<std::size_t>(SLEN(text));
  const std::string_view line = text.substr(0, length);
  num_tokens = 0;
  all_stored = true;
  std::size_t pos = 0;
  while (true) {
    pos = line.find_first_not_of(g_separators, pos);
    if (pos == std::string_view::npos) break;
    std::size_t end = line.find_first_of(g_separators, pos);
    if (end == std::string_view::npos) end = length;
    if (num_tokens >= max_tokens) {
      all_stored = false;
      break;
    }
    tokens[static_cast<std::size_t>(num_tokens)] =
        std::string(line.substr(pos, std::min(end - pos, kTokenBuffer)));
    ++num_tokens;
    pos = end;
  }
}
