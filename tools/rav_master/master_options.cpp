// The command line of rav_master.
#include <cstdlib>

#include "master.h"

namespace {
struct Valued {
  const char* name;
  std::string MasterOptions::*field;
};
const Valued kValued[] = {
    {"--prefix", &MasterOptions::prefix},         {"--background", &MasterOptions::background},
    {"--flat", &MasterOptions::flat},             {"--turn", &MasterOptions::turn},
    {"--angle-step", &MasterOptions::angle_step}, {"--angle-offset", &MasterOptions::angle_offset},
    {"--pixel-size", &MasterOptions::pixel_size}, {"--axis", &MasterOptions::axis},
    {"--method", &MasterOptions::method},         {"--slices", &MasterOptions::slices},
    {"--sinogram-mb", &MasterOptions::sinogram_mb}, {"--cache-kb", &MasterOptions::cache_kb},
    {"--output", &MasterOptions::output},         {"--par", &MasterOptions::parameter_file},
};

// The modes that name a parameter file: --check FILE, --split N FILE, --join FILE.
bool mode_option(const std::string& name, MasterOptions& o) {
  if (name == "--check") o.mode = MasterOptions::Mode::CHECK;
  else if (name == "--split") o.mode = MasterOptions::Mode::SPLIT;
  else if (name == "--join") o.mode = MasterOptions::Mode::JOIN;
  else return false;
  return true;
}
}  // namespace

bool master_parse_options(const std::vector<std::string>& args, MasterOptions& o,
                          std::string& error) {
  std::vector<std::string> plain;
  for (std::size_t k = 0; k < args.size(); ++k) {
    std::string name = args[k], value;
    const std::size_t equals = name.find('=');
    const bool inline_value = name.rfind("--", 0) == 0 && equals != std::string::npos;
    if (inline_value) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    if (name == "--help" || name == "-h") {
      o.mode = MasterOptions::Mode::HELP;
      return true;
    }
    if (name == "--yes" || name == "-y" || name == "--horizontal") {
      (name == "--horizontal" ? o.horizontal : o.yes) = true;
      continue;
    }
    if (mode_option(name, o)) continue;
    if (name.rfind("-", 0) != 0 || name == "-") {
      plain.push_back(args[k]);
      continue;
    }
    const Valued* option = nullptr;
    for (const Valued& v : kValued) option = name == v.name ? &v : option;
    if (option == nullptr) {
      error = "Unknown option " + args[k];
      return false;
    }
    if (!inline_value && k + 1 >= args.size()) {
      error = "Option " + name + " needs a value";
      return false;
    }
    o.*(option->field) = inline_value ? value : args[++k];
  }
  const std::size_t wanted = o.mode == MasterOptions::Mode::SPLIT ? 2 : 1;
  if (plain.size() != wanted) {
    error = o.mode == MasterOptions::Mode::INSPECT ? "Name one scan folder (or pattern)"
            : o.mode == MasterOptions::Mode::SPLIT ? "--split needs a number of parts and a "
                                                     "parameter file"
                                                   : "Name one parameter file";
    return false;
  }
  o.source = plain.back();
  if (o.mode == MasterOptions::Mode::SPLIT) {
    char* end = nullptr;
    const long parts = std::strtol(plain[0].c_str(), &end, 10);
    if (end != plain[0].c_str() + plain[0].size() || parts < 1 || parts > 100000) {
      error = "--split needs a number of parts from 1 to 100000, not: " + plain[0];
      return false;
    }
    o.parts = static_cast<std::int32_t>(parts);
  }
  return true;
}
