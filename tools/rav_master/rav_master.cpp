// rav_master: the companion program of rav_vuzav (see master_help.cpp).
#include <cstdio>

#include "master.h"
#include "ut.h"

int main(int argc, char** argv) {
  rav_standard_streams();
  std::int32_t status = ST_OK;
  ST_DEF_SYSTEM(status);
  MasterOptions options;
  std::string error;
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (!master_parse_options(args, options, error)) {
    UT_WRITE("ERROR: " + error, status);
    UT_WRITE("       rav_master --help lists the options", status);
    return 2;
  }
  int code = 0;
  switch (options.mode) {
    case MasterOptions::Mode::HELP:
      for (const std::string& line : master_help()) std::printf("%s\n", line.c_str());
      break;
    case MasterOptions::Mode::CHECK: code = master_check(options.source); break;
    case MasterOptions::Mode::SPLIT: code = master_split(options.source, options.parts); break;
    case MasterOptions::Mode::JOIN: code = master_join(options.source); break;
    case MasterOptions::Mode::INSPECT: code = master_inspect(options); break;
  }
  std::fflush(stdout);
  return code;
}
