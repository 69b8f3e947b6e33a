#include "ut.h"

#include <cstdlib>

namespace {
std::string g_position(132, ' ');
bool g_first_call = true;
}  // namespace


void ST_DEF_SYSTEM(std::int32_t& status) {
  status = ST_OK;
  g_position.assign(132, ' ');
  if (g_first_call) {
    UT_DEF_SYSTEM(status);
    g_first_call = false;
  }
}

void ST_SAVE(std::string_view position) {
  if (SLEN(g_position) != 0) return;
  g_position.assign(position.substr(0, 132));
  g_position.resize(132, ' ');
}

std::int32_t ST_ERRORCODE(std::int32_t status) {
  if (status == ST_OK || status == ST_ESCAPE || status == ST_SPECIAL_INPUT) return status;
  return static_cast<std::int32_t>(std::abs(static_cast<std::int64_t>(status)) % 10000);
}

const std::string& st_position() { return g_position; }
