#include "ut.h"

int SLEN(std::string_view text) {
  for (std::size_t i = text.size(); i > 0; --i) {
    const char c = text[i - 1];
    if (c != ' ' && c != '\0' && c != '\t' && c != '\n' && c != '\r') return static_cast<int>(i);
  }
  return 0;
}
