// rav_compare: how close a reconstructed volume is to the ground truth of a synthetic scan.
//
//   rav_compare RECONSTRUCTION TRUTH [CLEAN]
//
// The files are volumes as the program writes them (records of NUM_X x NUM_Y little-endian
// floats) with their ".info" files beside them. Prints, in 1/cm, the mean of the uniform block
// in the middle of the middle slice (8 x 8 pixels of the head's brain tissue) against the truth,
// and the root-mean-square difference over the whole volume. With CLEAN, the reconstruction of
// the same scan without its defects, also the ring amplitude of the middle slice against it (the
// RMS of the difference of their radial profiles about the slice's centre). Exit code 1 when
// the volumes cannot be read or differ in size.
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "phantom.h"

namespace {

struct Volume {
  int num_x = 0, num_y = 0, num_z = 0;
  std::vector<float> values;
};

// Reads NAME and NAME.info; false with a message when either cannot be used.
bool read_volume(const std::string& name, Volume& volume) {
  std::ifstream info(name + ".info");
  std::string line;
  while (std::getline(info, line)) {
    const std::size_t equals = line.find(" = ");
    if (equals == std::string::npos) continue;
    const int value = std::atoi(line.c_str() + equals + 3);
    const std::string key = line.substr(0, equals);
    if (key == "NUM_X") volume.num_x = value;
    if (key == "NUM_Y") volume.num_y = value;
    if (key == "NUM_Z") volume.num_z = value;
  }
  if (volume.num_x < 1 || volume.num_y < 1 || volume.num_z < 1) {
    std::printf("ERROR: No usable volume info file %s.info\n", name.c_str());
    return false;
  }
  const std::size_t count = static_cast<std::size_t>(volume.num_x) * volume.num_y * volume.num_z;
  volume.values.resize(count);
  std::ifstream in(name, std::ios::binary);
  in.read(reinterpret_cast<char*>(volume.values.data()),
          static_cast<std::streamsize>(count * sizeof(float)));
  if (static_cast<std::size_t>(in.gcount()) != count * sizeof(float)) {
    std::printf("ERROR: %s holds fewer values than its info file says\n", name.c_str());
    return false;
  }
  return true;
}

double centre_mean(const Volume& v, int slice, int block) {
  const std::size_t first = static_cast<std::size_t>(slice) * v.num_x * v.num_y;
  double sum = 0;
  for (int y = v.num_y / 2 - block / 2; y < v.num_y / 2 + block / 2; ++y) {
    for (int x = v.num_x / 2 - block / 2; x < v.num_x / 2 + block / 2; ++x) {
      sum += v.values[first + static_cast<std::size_t>(y) * v.num_x + x];
    }
  }
  return sum / (block * block);
}

bool same_size(const Volume& a, const Volume& b) {
  if (a.num_x == b.num_x && a.num_y == b.num_y && a.num_z == b.num_z) return true;
  std::printf("ERROR: The volumes differ in size\n");
  return false;
}

// The middle slice of V.
std::span<const float> middle_slice(const Volume& v) {
  const std::size_t size = static_cast<std::size_t>(v.num_x) * v.num_y;
  return std::span<const float>(v.values).subspan(static_cast<std::size_t>(v.num_z / 2) * size,
                                                  size);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::printf("Usage: rav_compare RECONSTRUCTION TRUTH [CLEAN]\n");
    return 2;
  }
  Volume recon, truth, clean;
  if (!read_volume(argv[1], recon) || !read_volume(argv[2], truth)) return 1;
  if (!same_size(recon, truth)) return 1;
  if (argc == 4 && (!read_volume(argv[3], clean) || !same_size(recon, clean))) return 1;
  const int slice = recon.num_z / 2;
  const double got = centre_mean(recon, slice, 8), expected = centre_mean(truth, slice, 8);
  double squares = 0;
  for (std::size_t i = 0; i < recon.values.size(); ++i) {
    const double d = recon.values[i] - truth.values[i];
    squares += d * d;
  }
  std::printf("Uniform region (8 x 8 pixels, slice %d): %.4f 1/cm, truth %.4f 1/cm (%+.2f %%)\n",
              slice + 1, got, expected, 100.0 * (got - expected) / expected);
  std::printf("RMS difference over %d x %d x %d voxels: %.4f 1/cm\n", recon.num_x, recon.num_y,
              recon.num_z, std::sqrt(squares / static_cast<double>(recon.values.size())));
  if (argc == 4 && recon.num_x == recon.num_y) {
    std::printf("Ring amplitude against %s (slice %d): %.5f 1/cm\n", argv[3], slice + 1,
                phantom_ring_amplitude(middle_slice(recon), middle_slice(clean), recon.num_x));
  }
  return 0;
}
