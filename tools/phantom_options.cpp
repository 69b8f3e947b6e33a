// Command line of rav_phantom.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "phantom.h"

namespace {

bool read_int(const std::string& text, long long low, long long high, long long& value) {
  long long parsed = 0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, parsed);
  if (result.ec != std::errc() || result.ptr != end || parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

bool read_real(const std::string& text, double low, double high, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const double parsed = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(parsed) || parsed < low ||
      parsed > high) {
    return false;
  }
  value = parsed;
  return true;
}

std::string range_text(double low, double high) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "from %g to %g", low, high);
  return buffer;
}

// The flags of the rotation axis: true when NAME is one (and sets it).
bool phantom_axis_flag(const std::string& name, PhantomOptions& options) {
  if (name == "--with-end") return options.with_end = true;
  if (name == "--half-acquisition") return options.half_acquisition = true;
  return false;
}

// Half acquisition needs a whole turn and the axis on the detector; a scan with its end needs
// two projections.
bool phantom_check_axis_options(const PhantomOptions& options, std::string& error) {
  if (options.with_end && options.projections < 2) {
    error = "Option --with-end needs at least 2 projections";
    return false;
  }
  if (options.half_acquisition && options.turn != 360.0) {
    error = "Option --half-acquisition needs --turn 360";
    return false;
  }
  if (options.half_acquisition && std::fabs(options.axis_offset) > options.bins / 2.0 - 1.0) {
    error = "Option --axis-offset must leave the axis on the detector (within bins/2 - 1 of its "
            "centre)";
    return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> phantom_help() {
  return {
      "Usage: rav_phantom --out DIR [options]",
      "",
      "Writes a synthetic parallel-beam scan of a Shepp-Logan-like head (attenuation in 1/cm)",
      "into DIR: projections proj_NNNN.zlf, background.zlf, flat.zlf (or a series flat_NNNN.zlf),",
      "the parameter file phantom.par that reconstructs it into recon.raw, and the ground truth",
      "truth.raw with truth.raw.info (one record of NUM_X x NUM_Y floats per slice, like recon.raw).",
      "",
      "Options:",
      "  --out DIR            directory to write into (created if missing)",
      "  --bins N             detector bins = slice width and height (16 to 8192; 128)",
      "  --projections N      projections over a half turn (1 to 100000; 180)",
      "  --slices N           slices, i.e. detector rows (1 to 4096; 8)",
      "  --pixel-size CM      detector pixel size in cm (0 to 10; 0.01)",
      "  --axis-offset PIX    IMAGE CENTRE - ROTATION_AXIS_POSITION in pixels, IMAGE CENTRE being",
      "                       bins/2: positive puts the axis toward bin 1 (at most bins/4",
      "                       either way, or inside the detector with --half-acquisition; 0)",
      "  --angle-offset DEG   angle of the first projection in degrees (0)",
      "  --horizontal         rotation axis along the image's first axis: each image column",
      "                       is one slice (images transposed, ROTATION_VERTICAL = NO)",
      "  --float              32-bit float images instead of 16-bit unsigned",
      "  --noise PHOTONS      Poisson noise: photons per open-beam pixel (0: no noise)",
      "  --seed N             seed of the noise (fixed by default)",
      "  --flat-series N      N flat fields spread over the scan, changing along it (2 to 1000)",
      "  --subsamples M       sub-samples per bin, pixel and slice along each axis (1 to 16; 4)",
      "  --oversampling N     OVERSAMPLING_FACTOR of the parameter file (0 linear, 1 nearest,",
      "                       2 or more oversampled; 0)",
      "  --sinogram-mb N      SINOGRAM_MEGABYTES of the parameter file (800)",
      "  --relative           file names in the parameter file relative to DIR (run rav_vuzav",
      "                       from DIR); absolute names otherwise",
      "  --help               this text",
      "",
      "The rotation axis:",
      "  --turn DEG           degrees the projections span: 180 or 360 (180)",
      "  --with-end           the last projection at the end of the turn (a pair of",
      "                       projections 180 degrees apart in a 180-degree scan)",
      "  --half-acquisition   a 360-degree scan with the axis off centre (use --axis-offset):",
      "                       the head fills the circle of a detector twice as wide, and the",
      "                       parameter file sets HALF_ACQUISITION = YES and slices of 2 x bins",
      "  --fill F             part of the reconstruction circle the head fills (0.1 to 0.95; 0.7)",
  };
}

bool phantom_parse_options(const std::vector<std::string>& args, PhantomOptions& options,
                           std::string& error) {
  for (std::size_t k = 0; k < args.size(); ++k) {
    std::string name = args[k];
    std::string value;
    bool has_value = false;
    if (const std::size_t equals = name.find('='); name.rfind("--", 0) == 0 &&
                                                   equals != std::string::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
      has_value = true;
    }
    // Flags first; every other option takes one value.
    if (name == "--help" || name == "-h") {
      options.help = true;
      continue;
    }
    if (phantom_axis_flag(name, options)) {
      if (has_value) {
        error = "Option " + name + " takes no value";
        return false;
      }
      continue;
    }
    if (name == "--horizontal" || name == "--float" || name == "--relative") {
      if (has_value) {
        error = "Option " + name + " takes no value";
        return false;
      }
      (name == "--horizontal" ? options.horizontal
                              : name == "--float" ? options.as_float : options.relative) = true;
      continue;
    }
    static const char* const kValued[] = {
        "--out",   "--bins",  "--projections", "--slices",     "--pixel-size",
        "--axis-offset", "--angle-offset", "--noise", "--seed", "--flat-series",
        "--subsamples", "--oversampling", "--sinogram-mb", "--turn", "--fill"};
    bool known = false;
    for (const char* option : kValued) known = known || name == option;
    if (!known) {
      error = "Unknown option: " + args[k];
      return false;
    }
    if (!has_value) {
      if (k + 1 >= args.size()) {
        error = "Option " + name + " needs a value";
        return false;
      }
      value = args[++k];
    }

    long long integer = 0;
    auto whole = [&](long long low, long long high, int& field) {
      if (!read_int(value, low, high, integer)) {
        error = "Option " + name + " needs a whole number from " + std::to_string(low) +
                " to " + std::to_string(high) + ", not: " + value;
        return false;
      }
      field = static_cast<int>(integer);
      return true;
    };
    auto real = [&](double low, double high, double& field) {
      if (!read_real(value, low, high, field)) {
        error = "Option " + name + " needs a number " + range_text(low, high) + ", not: " + value;
        return false;
      }
      return true;
    };

    bool ok = true;
    if (name == "--out") {
      if (value.empty()) {
        error = "Option --out needs a directory name";
        return false;
      }
      options.out = value;
    } else if (name == "--bins") {
      ok = whole(16, 8192, options.bins);
    } else if (name == "--projections") {
      ok = whole(1, 100000, options.projections);
    } else if (name == "--slices") {
      ok = whole(1, 4096, options.slices);
    } else if (name == "--pixel-size") {
      ok = real(0.0, 10.0, options.pixel_cm);
      if (ok && options.pixel_cm <= 0.0) {
        error = "Option --pixel-size needs a size above 0 cm, not: " + value;
        return false;
      }
    } else if (name == "--axis-offset") {
      ok = real(-4096.0, 4096.0, options.axis_offset);
    } else if (name == "--angle-offset") {
      ok = real(-360.0, 360.0, options.angle_offset);
    } else if (name == "--noise") {
      ok = real(0.0, 1e15, options.noise);
    } else if (name == "--seed") {
      if (!read_int(value, 0, std::numeric_limits<long long>::max(), integer)) {
        error = "Option --seed needs a whole number from 0, not: " + value;
        return false;
      }
      options.seed = static_cast<std::uint64_t>(integer);
    } else if (name == "--flat-series") {
      ok = whole(2, 1000, options.flat_series);
    } else if (name == "--subsamples") {
      ok = whole(1, 16, options.subsamples);
    } else if (name == "--oversampling") {
      ok = whole(0, 64, options.oversampling);
    } else if (name == "--sinogram-mb") {
      ok = whole(1, 1000000, options.sinogram_mb);
    } else if (name == "--turn") {
      ok = real(180.0, 360.0, options.turn) && (options.turn == 180.0 || options.turn == 360.0);
      if (!ok) error = "Option --turn needs 180 or 360, not: " + value;
    } else if (name == "--fill") {
      ok = real(0.1, 0.95, options.fill);
    }
    if (!ok) return false;
  }

  if (options.help) return true;
  if (options.out.empty()) {
    error = "Missing --out DIR (the directory to write the scan into)";
    return false;
  }
  if (!phantom_check_axis_options(options, error)) return false;
  if (!options.half_acquisition && std::fabs(options.axis_offset) > options.bins / 4.0) {
    char limit[32];
    std::snprintf(limit, sizeof limit, "%g", options.bins / 4.0);
    error = "Option --axis-offset must lie within bins/4 = " + std::string(limit) +
            " pixels of the centre";
    return false;
  }
  return true;
}
