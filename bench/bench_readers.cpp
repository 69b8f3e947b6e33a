// Speed of the image readers on what a pass of the sinogram assembly asks of them: the same
// block of rows of every projection of a scan, read through RAV_IN_IMAGE, from keyword-header
// files, TIFF files (one per projection, and one stack) and an HDF5 dataset. The images are
// 1024 x 64 32-bit floats, 64 projections; each iteration reads one pass of 8 rows from every
// projection, the passes taking the rows in turn, so that every format reads the same bytes.
// Times are per projection read, in processor time of the thread (wall-clock time alongside).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "dax.h"
#include "rav_in_image.h"
#include "rav_slice_file.h"
#include "ut.h"

namespace {

constexpr std::int32_t kWidth = 1024, kHeight = 64, kProjections = 64, kRows = 8;

// The scan in every format, written once into a directory removed at the end.
class Files {
 public:
  Files() : dir_(std::filesystem::temp_directory_path() /
                 ("rav_bench_readers_" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(dir_);
    std::vector<float> image(static_cast<std::size_t>(kWidth) * kHeight);
    RavVolumeGeometry one;
    one.NUM_X = kWidth;
    one.NUM_Y = kHeight;
    one.NUM_Z = 1;
    RavVolumeGeometry stack = one;
    stack.NUM_Z = kProjections;
    SliceFile tiff_stack, hdf5;
    tiff_stack.use_format(RavVolumeFormat::TIFF, stack);
    hdf5.use_format(RavVolumeFormat::HDF5, stack);
    int error = 0;
    tiff_stack.open(path("stack.tif"), 0, error);
    hdf5.open(path("scan.h5"), 0, error);
    for (std::int32_t j = 0; j < kProjections; ++j) {
      for (std::size_t k = 0; k < image.size(); ++k) image[k] = static_cast<float>(k % 977 + j);
      std::int32_t retstat = 0, status = ST_OK;
      DAX_OUT_ZELFA(name(j, ".zlf"), kWidth, kHeight, 1, 1, kWidth, kHeight, image, retstat,
                    status);
      SliceFile tiff;
      tiff.use_format(RavVolumeFormat::TIFF, one);
      tiff.open(name(j, ".tif"), 0, error);
      tiff.write(1, image);
      tiff.close();
      tiff_stack.write(j + 1, image);
      hdf5.write(j + 1, image);
    }
    tiff_stack.close();
    hdf5.close();
  }
  ~Files() { std::filesystem::remove_all(dir_); }

  std::string path(const std::string& file) const { return (dir_ / file).string(); }
  std::string name(std::int32_t j, const char* extension) const {
    char text[32];
    std::snprintf(text, sizeof text, "proj_%04d%s", j, extension);
    return path(text);
  }

 private:
  std::filesystem::path dir_;
};

const Files& files() {
  static const Files instance;
  return instance;
}

enum Layout { KEYWORD_FILES, TIFF_FILES, TIFF_STACK, HDF5_STACK };

RavImageSource source(Layout layout, std::int32_t j) {
  const Files& f = files();
  switch (layout) {
    case KEYWORD_FILES:
      return {RavImageFormat::KEYWORD_HEADER, f.name(j, ".zlf"), "", -1, false};
    case TIFF_FILES:
      return {RavImageFormat::TIFF, f.name(j, ".tif"), "", -1, false};
    case TIFF_STACK:
      return {RavImageFormat::TIFF, f.path("stack.tif"), "", j, false};
    case HDF5_STACK:
      break;
  }
  return {RavImageFormat::HDF5, f.path("scan.h5"), "/volume", j, false};
}

void BM_ReadPass(benchmark::State& state) {
  const auto layout = static_cast<Layout>(state.range(0));
  std::int32_t status = ST_OK;
  ST_DEF_SYSTEM(status);
  std::vector<float> rows(static_cast<std::size_t>(kWidth) * kRows);
  std::int32_t first = 1;
  for (auto _ : state) {
    for (std::int32_t j = 0; j < kProjections; ++j) {
      std::int32_t retstat = 0, xnum = 0, ynum = 0;
      RAV_IN_IMAGE(source(layout, j), kWidth, kRows, 1, first, kWidth, first + kRows - 1,
                   retstat, xnum, ynum, rows, status);
      if (retstat != 0 || status != ST_OK) state.SkipWithError("read failed");
    }
    rav_close_image_files();  // as at the end of a pass
    benchmark::DoNotOptimize(rows.data());
    first = first + kRows > kHeight ? 1 : first + kRows;
  }
  state.SetItemsProcessed(state.iterations() * kProjections);
}

BENCHMARK(BM_ReadPass)
    ->ArgName("keyword0_tiff1_stack2_hdf5_3")
    ->DenseRange(KEYWORD_FILES, HDF5_STACK)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
