#include <cstdio>

#include "ut.h"

void UT_WRITE(std::string_view text, std::int32_t& status) {
  if (st_bad(status, "Subroutine UT_WRITE V0.1 ")) return;
  const int length = SLEN(text);
  if (length == 0) {
    std::fputs(" \n", stdout);
  } else {
    std::fwrite(text.data(), 1, static_cast<std::size_t>(length), stdout);
    std::fputc('\n', stdout);
  }
}
