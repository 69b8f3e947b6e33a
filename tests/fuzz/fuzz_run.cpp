// Fuzz target: a whole run of the program on a tiny scan (16 x 4 pixel projections, 12 of
// them, background and flat field) whose projection files are replaced by the input: mostly
// a valid projection with its header bytes mutated. Whatever the header says, the run must end
// with exit code 0 or 1 and never leave an incomplete volume that looks complete: exit code 0
// means the whole volume, finite, with its info file; exit code 1 means no info file.
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dax.h"
#include "fuzz_files.h"
#include "rav.h"
#include "rav_in_zelfa.h"
#include "ut.h"

namespace {

constexpr int kBins = 16;
constexpr int kRows = 4;
constexpr int kProjections = 12;

void write_image(const std::string& path, const std::vector<float>& values) {
  std::int32_t status;
  ST_DEF_SYSTEM(status);
  std::int32_t retstat = 0;
  DAX_OUT_ZELFA_TYPED(path, DaxPixelType::UNSIGNED_SHORT, kBins, kRows, 1, 1, kBins, kRows,
                      values, retstat, status);
  if (status != ST_OK || retstat != 0) std::abort();
}

// The parameter file, background and flat field, written once per process.
const std::string& parameter_file() {
  static const std::string path = [] {
    const std::filesystem::path dir = rav_fuzz::scratch_dir();
    write_image((dir / "background.zlf").string(), std::vector<float>(kBins * kRows, 100.0f));
    std::vector<float> flat(kBins * kRows);
    for (int i = 0; i < kBins * kRows; ++i) flat[i] = 20000.0f + 10.0f * static_cast<float>(i);
    write_image((dir / "flat.zlf").string(), flat);
    const std::string text =
        "! RAV_VUZAV PARAMETER FILE\n"
        "FILE_PREFIX = " + (dir / "proj_").string() + "\n"
        "NUM_FIRST_IMAGE = 1\nNUM_LAST_IMAGE = 12\nFILE_INTERVAL = 1\n"
        "NUMBER_LENGTH_VARIES = NO\nLENGTH_OF_NUMERICAL_PART = 4\nFILE_POSTFIX = .zlf\n"
        "NUM_IMAGE_1 = 16\nNUM_IMAGE_2 = 4\nIMAGE_PIXEL_SIZE_1 = 100\nIMAGE_PIXEL_SIZE_2 = 100\n"
        "SUBTRACT_BACKGROUND = YES\nBACKGROUND_FILE = " + (dir / "background.zlf").string() + "\n"
        "CORRECT_FLATFIELD = YES\nFLATFIELD_CHANGING = NO\n"
        "FLATFIELD_FILE = " + (dir / "flat.zlf").string() + "\n"
        "TAKE_LOGARITHM = YES\nANGLE_OFFSET = 0\nANGLE_BETWEEN_PROJECTIONS = 15\n"
        "ROTATION_VERTICAL = YES\nROTATION_AXIS_POSITION = 8\nOVERSAMPLING_FACTOR = 0\n"
        "OUTPUT_SINOGRAMS = NO\nOUTPUT_RECONSTRUCTION = YES\n"
        "OUTPUT_FILE = " + (dir / "recon.raw").string() + "\n"
        "DISPLAY_GRAPHICS = NO\nSTART_VOXEL_1 = 1\nEND_VOXEL_1 = 16\nSTART_VOXEL_2 = 1\n"
        "END_VOXEL_2 = 16\nSTART_VOXEL_3 = 1\nEND_VOXEL_3 = 4\n";
    const std::string par = (dir / "scan.par").string();
    std::FILE* file = std::fopen(par.c_str(), "w");
    if (file == nullptr || std::fputs(text.c_str(), file) < 0 || std::fclose(file) != 0) {
      std::abort();
    }
    return par;
  }();
  return path;
}

// Runs the program with its console sent to /dev/null (the fuzzer and the replay tests would
// otherwise show every transcript).
int quiet_run(const std::string& par) {
  std::fflush(stdout);
  const int saved = ::dup(STDOUT_FILENO);
  const int null = ::open("/dev/null", O_WRONLY);
  if (saved < 0 || null < 0) std::abort();
  ::dup2(null, STDOUT_FILENO);
  ::close(null);
  std::string program = "rav_vuzav";
  std::string argument = par;
  char* argv[] = {program.data(), argument.data(), nullptr};
  const int exit_code = RAV_VUZAV(2, argv);
  std::fflush(stdout);
  ::dup2(saved, STDOUT_FILENO);
  ::close(saved);
  ut_set_command_line(0, nullptr);
  return exit_code;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& par = parameter_file();
  const std::filesystem::path dir = rav_fuzz::scratch_dir();
  for (int j = 1; j <= kProjections; ++j) {
    char name[32];
    std::snprintf(name, sizeof name, "proj_%04d.zlf", j);
    rav_fuzz::write_scratch(name, data, size);
  }
  const std::filesystem::path volume = dir / "recon.raw";
  const std::filesystem::path info = dir / "recon.raw.info";
  std::filesystem::remove(volume);
  std::filesystem::remove(info);
  // Header values carry over from one image to the next; every input starts afresh.
  rav_in_zelfa_state = RavInZelfaState{};

  const int exit_code = quiet_run(par);
  RAV_FUZZ_CHECK(exit_code == 0 || exit_code == 1);
  if (exit_code == 0) {
    RAV_FUZZ_CHECK(std::filesystem::exists(info));
    const std::vector<std::uint8_t> bytes = [&] {
      std::FILE* file = std::fopen(volume.c_str(), "rb");
      RAV_FUZZ_CHECK(file != nullptr);
      std::vector<std::uint8_t> content(kBins * kBins * kRows * sizeof(float) + 1);
      content.resize(std::fread(content.data(), 1, content.size(), file));
      std::fclose(file);
      return content;
    }();
    RAV_FUZZ_CHECK(bytes.size() == kBins * kBins * kRows * sizeof(float));
    for (std::size_t i = 0; i < bytes.size(); i += sizeof(float)) {
      float value;
      std::memcpy(&value, bytes.data() + i, sizeof value);
      RAV_FUZZ_CHECK(std::isfinite(value));
    }
  } else {
    RAV_FUZZ_CHECK(!std::filesystem::exists(info));
  }
  return 0;
}
