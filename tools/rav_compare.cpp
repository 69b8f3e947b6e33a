// rav_compare: how close a reconstructed volume is to the ground truth of a synthetic scan.
//
//   rav_compare RECONSTRUCTION TRUTH
//
// Both files are volumes as the program writes them (records of NUM_X x NUM_Y little-endian
// floats) with their ".info" files beside them. Prints, in 1/cm, the mean of the uniform block
// in the middle of the middle slice (8 x 8 pixels of the head's brain tissue) against the truth,
// and the root-mean-square difference over the whole volume. Exit code 1 when the two volumes
// cannot be read or differ in size.
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::printf("Usage: rav_compare RECONSTRUCTION TRUTH\n");
    return 2;
  }
  Volume recon, truth;
  if (!read_volume(argv[1], recon) || !read_volume(argv[2], truth)) return 1;
  if (recon.num_x != truth.num_x || recon.num_y != truth.num_y || recon.num_z != truth.num_z) {
    std::printf("ERROR: The volumes differ in size\n");
    return 1;
  }
  const int slice = recon.num_z / 2;
  const double got = centre_mean(recon, slice, 8), expected = centre_mean(truth, slice, 8);
  double squares = 0;
  for (std::size_t i = 0; i < recon.values.size(); ++i) {
    const double d = recon.values[i] - truth.values[i];
    squares += d * d;
  }
  std::printf("Uniform region (8 x 8 pixels, slice %d): %.4f 1/cm, truth %.4f 1/cm (%+.1f %%)\n",
              slice + 1, got, expected, 100.0 * (got - expected) / expected);
  std::printf("RMS difference over %d x %d x %d voxels: %.4f 1/cm\n", recon.num_x, recon.num_y,
              recon.num_z, std::sqrt(squares / static_cast<double>(recon.values.size())));
  return 0;
}
