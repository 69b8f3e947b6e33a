// Fuzz target: the tokenizer and the token conversions (integer, real, logical) on arbitrary
// text. Besides not crashing, a conversion that reports success must have read a well-formed
// number.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_files.h"
#include "ut.h"

namespace {

// Integer tokens: an optional sign and digits, blanks anywhere.
bool integer_form(const std::string& token, long long& value) {
  std::string clean;
  for (char c : token) {
    if (c != ' ') clean.push_back(c);
  }
  if (clean.empty()) return false;
  std::size_t i = (clean[0] == '+' || clean[0] == '-') ? 1 : 0;
  if (i == clean.size()) return false;
  for (std::size_t k = i; k < clean.size(); ++k) {
    if (clean[k] < '0' || clean[k] > '9') return false;
  }
  if (clean.size() > 18) return true;  // too long for the cross-check below
  value = std::strtoll(clean.c_str(), nullptr, 10);
  return true;
}

void convert(const std::string& token) {
  std::int32_t status = ST_OK;

  bool ok = false;
  std::int32_t integer = 12345;
  UT_TOKTI(token, ok, integer, status);
  RAV_FUZZ_CHECK(status == ST_OK);
  if (ok) {
    long long expected = integer;
    RAV_FUZZ_CHECK(integer_form(token.substr(0, static_cast<std::size_t>(SLEN(token))), expected));
    RAV_FUZZ_CHECK(expected == integer);
  } else {
    RAV_FUZZ_CHECK(integer == 12345);  // untouched
  }

  float real = 0.0f;
  UT_TOKTR(token, ok, real, status);
  RAV_FUZZ_CHECK(status == ST_OK);
  if (ok) RAV_FUZZ_CHECK(std::isfinite(real));

  bool logical = false;
  UT_TOKTL(token, ok, logical, status);
  RAV_FUZZ_CHECK(status == ST_OK);
  if (ok) RAV_FUZZ_CHECK(SLEN(token) <= 10);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::int32_t status;
  ST_DEF_SYSTEM(status);

  // The whole input as one token, then each token of it.
  convert(text);

  constexpr std::int32_t kMaxTokens = 10;
  bool all_stored = false;
  std::int32_t num_tokens = -1;
  std::vector<std::string> tokens;
  UT_TOKENS(text, kMaxTokens, all_stored, num_tokens, tokens, status);
  RAV_FUZZ_CHECK(status == ST_OK);
  RAV_FUZZ_CHECK(num_tokens >= 0 && num_tokens <= kMaxTokens);
  RAV_FUZZ_CHECK(static_cast<std::int32_t>(tokens.size()) >= num_tokens);
  for (std::int32_t i = 0; i < num_tokens; ++i) {
    const std::string& token = tokens[static_cast<std::size_t>(i)];
    RAV_FUZZ_CHECK(!token.empty() && token.size() <= 132);
    RAV_FUZZ_CHECK(token.find_first_of(" ,\t") == std::string::npos);
    convert(token);
  }
  return 0;
}
