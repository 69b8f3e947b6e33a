#include "ut.h"

namespace {
bool insignificant(char c) { return c == ' ' || c == '\0' || c == '\t' || c == '\n' || c == '\r'; }
}  // namespace

int SLEN(std::string_view text) {
  for (std::size_t i = text.size(); i > 0; --i) {
    if (!insignificant(text[i - 1])) return static_cast<int>(i);
  }
  return 0;
}

int UT_START(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != ' ' && text[i] != '\0') return static_cast<int>(i + 1);
  }
  return -1;
}

// Plain ASCII case changes: bytes outside a-z / A-Z (including UTF-8 sequences) pass unchanged.
std::string UT_UPPER(std::string_view text) {
  std::string result(text.substr(0, static_cast<std::size_t>(SLEN(text))));
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

std::string UT_LOWER(std::string_view text) {
  std::string result(text.substr(0, static_cast<std::size_t>(SLEN(text))));
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

std::string UT_ITOC(std::int32_t value) { return std::to_string(value); }

std::string UT_LTOC(bool value) { return value ? ".TRUE." : ".FALSE."; }
