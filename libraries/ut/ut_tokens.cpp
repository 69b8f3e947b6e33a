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

std::vector<std::string_view> ut_split_tokens(std::string_view text) {
  const std::string_view line = text.substr(0, static_cast<std::size_t>(SLEN(text)));
  std::vector<std::string_view> tokens;
  std::size_t pos = 0;
  while ((pos = line.find_first_not_of(g_separators, pos)) != std::string_view::npos) {
    std::size_t end = line.find_first_of(g_separators, pos);
    if (end == std::string_view::npos) end = line.size();
    tokens.push_back(line.substr(pos, end - pos));
    pos = end;
  }
  return tokens;
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
  const std::vector<std::string_view> found = ut_split_tokens(text);
  all_stored = found.size() <= static_cast<std::size_t>(max_tokens);
  num_tokens = static_cast<std::int32_t>(
      std::min(found.size(), static_cast<std::size_t>(max_tokens)));
  for (std::int32_t i = 0; i < num_tokens; ++i) {
    const std::string_view token = found[static_cast<std::size_t>(i)];
    tokens[static_cast<std::size_t>(i)] = std::string(token.substr(0, kTokenBuffer));
  }
}
