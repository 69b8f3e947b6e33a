// Whole runs on TIFF and HDF5 files written by other people's code (Python's tifffile and h5py),
// and the volumes the program writes read by other people's code (tifffile, h5py, VTK's
// MetaImage reader): the same volume, bit for bit, as from the keyword-header images; and bad
// files answered with clear lines, never a crash. The Python clients are Debian's
// (/usr/bin/python3); a test is skipped with a message when one of its modules is missing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_support.h"

namespace {

using e2e::fs::path;
using test_support::RunResult;

const std::string kPython = "/usr/bin/python3";
const std::string kClient = RAV_SOURCE_DIR "/tests/e2e/formats_client.py";

class Formats : public testing::Test {
 protected:
  void SetUp() override {
    root_ = test_support::test_directory("rav_formats");
    scan_ = root_ / "scan";
    const RunResult written = test_support::run(
        test_support::kPhantom, {"--out", scan_.string(), "--relative", "--bins", "64",
                                 "--projections", "96", "--slices", "5"});
    ASSERT_EQ(written.exit_code, 0) << written.out;
  }
  void TearDown() override { e2e::fs::remove_all(root_); }

  // Skips the test unless every module of NAMES can be imported.
  bool have(const std::vector<std::string>& names) {
    std::vector<std::string> args = {kClient, "modules"};
    args.insert(args.end(), names.begin(), names.end());
    const RunResult r = test_support::run(kPython, args);
    if (r.exit_code == 0) return true;
    missing_ = r.out.empty() ? kPython + " cannot run " + kClient : r.out;
    return false;
  }

  void client(const std::vector<std::string>& args) {
    std::vector<std::string> all = {kClient};
    all.insert(all.end(), args.begin(), args.end());
    const RunResult r = test_support::run(kPython, all, {.dir = scan_});
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
    client_out_ = r.out;
  }

  // The scan's parameter file with the lines of the keywords in DROP left out and LINES added,
  // run in the scan's directory.
  RunResult run(const std::vector<std::string>& lines, const std::vector<std::string>& drop = {}) {
    std::string text;
    std::istringstream in(e2e::read_text(scan_ / "phantom.par"));
    for (std::string line; std::getline(in, line);) {
      bool dropped = false;
      for (const std::string& keyword : drop) dropped |= line.rfind(keyword + " ", 0) == 0;
      if (!dropped) text += line + "\n";
    }
    for (const std::string& line : lines) text += line + "\n";
    e2e::write_text(scan_ / "run.par", text);
    return test_support::run(test_support::kVuzav, {"run.par"}, {.dir = scan_});
  }

  std::vector<float> volume(const std::string& name = "recon.raw") const {
    return e2e::read_floats(scan_ / name);
  }

  path root_, scan_;
  std::string missing_, client_out_;
};

const std::vector<std::string> kStack = {"NUM_FIRST_IMAGE = 0", "NUM_LAST_IMAGE = 95"};

std::vector<std::string> with(std::vector<std::string> lines, const std::vector<std::string>& more) {
  lines.insert(lines.end(), more.begin(), more.end());
  return lines;
}

TEST_F(Formats, TiffAndHdf5ProjectionsGiveTheKeywordHeaderVolume) {
  if (!have({"numpy", "tifffile", "h5py"})) GTEST_SKIP() << missing_;
  ASSERT_EQ(run({}).exit_code, 0);
  const std::vector<float> expected = volume();
  ASSERT_EQ(expected.size(), 64u * 64u * 5u);

  client({"tiff", "."});
  RunResult r = run({"FILE_POSTFIX = .tif", "BACKGROUND_FILE = background.tif",
                     "FLATFIELD_FILE = flat.tif"});
  ASSERT_EQ(r.exit_code, 0) << r.out;
  EXPECT_NE(r.out.find("INFO: Inputting from proj_0001.tif (and onwards)"), std::string::npos);
  EXPECT_EQ(volume(), expected) << "one TIFF file per projection";

  client({"tiff", ".", "--stack", "stack.tif", "--tiled", "--compress"});
  r = run(with(kStack, {"STACK_FILE = stack.tif", "BACKGROUND_FILE = background.tif",
                        "FLATFIELD_FILE = flat.tif"}));
  ASSERT_EQ(r.exit_code, 0) << r.out;
  EXPECT_NE(r.out.find("INFO: Inputting from stack.tif, page 0 (and onwards)"), std::string::npos);
  EXPECT_EQ(volume(), expected) << "a tiled, compressed TIFF stack";

  // DataExchange: the background and the flat field are the means of the file's dark and
  // white images; the angles of /exchange/theta agree with the parameter file's.
  client({"hdf5", ".", "scan.h5", "--chunked", "--theta-step", "1.875"});
  for (const char* angles : {"NO", "YES"}) {
    r = run(with(kStack, {"STACK_FILE = scan.h5", std::string("ANGLES_FROM_FILE = ") + angles}),
            {"BACKGROUND_FILE", "FLATFIELD_FILE"});
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(volume(), expected) << "HDF5, ANGLES_FROM_FILE = " << angles;
  }
  EXPECT_NE(r.out.find("INFO: Angles from /exchange/theta of scan.h5: from 0 degrees in steps of "
                       "1.875\n"),
            std::string::npos)
      << r.out;
}

TEST_F(Formats, StoredSinogramsFromTiffAndHdf5Stacks) {
  if (!have({"numpy", "tifffile", "h5py"})) GTEST_SKIP() << missing_;
  ASSERT_EQ(run({"OUTPUT_SINOGRAMS = YES"}).exit_code, 0);
  const std::vector<std::string> from_sinograms = {
      "RECONSTRUCT_FROM_SINOGRAMS = YES", "NUM_IMAGE_1 = 64", "NUM_IMAGE_2 = 96",
      "SINOGRAM_PREFIX = sino_", "SINOGRAM_POSTFIX = .zlf", "NUM_FIRST_SINOGRAM = 1",
      "NUM_LAST_SINOGRAM = 5"};
  ASSERT_EQ(run(from_sinograms).exit_code, 0);
  const std::vector<float> expected = volume();
  std::vector<std::string> sinograms = {"stack", ""};
  for (int k = 1; k <= 5; ++k) sinograms.push_back("sino_000" + std::to_string(k) + ".zlf");
  for (const std::string stack : {"sinograms.tif", "sinograms.h5"}) {
    sinograms[1] = stack;
    client(sinograms);
    // The stack's images are numbered from 0: sinogram k of the run is image k - 1.
    const RunResult r = run(with(from_sinograms, {"STACK_FILE = " + stack, "HDF5_DATASET = /images",
                                                  "NUM_FIRST_SINOGRAM = 0",
                                                  "NUM_LAST_SINOGRAM = 4"}));
    ASSERT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(volume(), expected) << stack;
  }
}

TEST_F(Formats, VolumesOpenInOtherReaders) {
  if (!have({"numpy", "tifffile", "h5py", "vtk"})) GTEST_SKIP() << missing_;
  ASSERT_EQ(run({}).exit_code, 0);
  const std::vector<float> expected = volume();
  // The raw volume through its MetaImage header: the sizes, 0.1 mm voxels (100 micrometre
  // pixels), the centre of voxel (1, 1, 1) half a voxel from the detector's edge.
  client({"read-mhd", "recon.raw.mhd", "vtk.raw"});
  EXPECT_EQ(client_out_,
            "{\"dimensions\": [64, 64, 5], \"spacing\": [0.1, 0.1, 0.1], \"origin\": [0.05, 0.05, "
            "0.05], \"type\": \"float\"}\n");
  EXPECT_EQ(volume("vtk.raw"), expected);

  RunResult r = run({"OUTPUT_FORMAT = TIFF", "OUTPUT_FILE = recon.tif"});
  ASSERT_EQ(r.exit_code, 0) << r.out;
  client({"read-tiff", "recon.tif", "tiff.raw"});
  EXPECT_EQ(client_out_, "{\"pages\": 5, \"bigtiff\": true, \"dtype\": \"float32\", \"shape\": "
                         "[64, 64]}\n");
  EXPECT_EQ(volume("tiff.raw"), expected);
  EXPECT_TRUE(e2e::fs::exists(scan_ / "recon.tif.info"));
  EXPECT_FALSE(e2e::fs::exists(scan_ / "recon.tif.mhd"));

  r = run({"OUTPUT_FORMAT = TIFF_SLICES", "OUTPUT_FILE = slices"});
  ASSERT_EQ(r.exit_code, 0) << r.out;
  for (int z = 1; z <= 5; ++z) {
    client({"read-tiff", "slices/slice_000" + std::to_string(z) + ".tif", "slice.raw"});
    EXPECT_EQ(volume("slice.raw"),
              std::vector<float>(expected.begin() + (z - 1) * 4096, expected.begin() + z * 4096))
        << "slice " << z;
  }
  EXPECT_TRUE(e2e::fs::exists(scan_ / "slices.info"));
  // An earlier folder of slices is not replaced: the run is refused before it reads anything.
  r = run({"OUTPUT_FORMAT = TIFF_SLICES", "OUTPUT_FILE = slices"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("OUTPUT_FORMAT = TIFF_SLICES writes a new folder of slices"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(std::distance(e2e::fs::directory_iterator(scan_ / "slices"),
                          e2e::fs::directory_iterator{}),
            5);

  r = run({"OUTPUT_FORMAT = hdf5", "OUTPUT_FILE = recon.h5"});
  ASSERT_EQ(r.exit_code, 0) << r.out;
  client({"read-hdf5", "recon.h5", "hdf5.raw"});
  EXPECT_NE(client_out_.find("\"shape\": [5, 64, 64], \"dtype\": \"float32\""), std::string::npos)
      << client_out_;
  EXPECT_NE(client_out_.find("\"start_voxel\": [1, 1, 1]"), std::string::npos) << client_out_;
  EXPECT_NE(client_out_.find("\"units\": \"mm\""), std::string::npos) << client_out_;
  EXPECT_EQ(volume("hdf5.raw"), expected);
}

TEST_F(Formats, BadFilesGiveClearLinesAndNoCrash) {
  if (!have({"numpy", "tifffile", "h5py"})) GTEST_SKIP() << missing_;
  // A stack whose page 10 is a row short: that projection is left out with the warnings.
  client({"tiff", ".", "--stack", "stack.tif", "--short-page", "10"});
  RunResult r = run(with(kStack, {"STACK_FILE = stack.tif"}));
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_NE(r.out.find("WARNING: This TIFF image cannot be input:\n"
                       "         page 10 is 64 x 4 pixels, page 0 is 64 x 5\n"
                       "WARNING: Problem inputting from\n"
                       "         stack.tif, page 10\n"),
            std::string::npos)
      << r.out;

  // A truncated TIFF file among the projections.
  client({"tiff", "."});
  const std::string whole = e2e::read_text(scan_ / "proj_0007.tif");
  e2e::write_text(scan_ / "proj_0007.tif", whole.substr(0, whole.size() / 2));
  r = run({"FILE_POSTFIX = .tif"});
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_NE(r.out.find("WARNING: This TIFF image cannot be input:"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("WARNING: Problem inputting from\n         proj_0007.tif\n"),
            std::string::npos);

  // An HDF5 file without the dataset, and angles that are not the parameter file's: refused
  // before anything is written.
  client({"hdf5", ".", "scan.h5", "--theta-step", "1.875", "--drop", "3"});
  e2e::fs::remove(scan_ / "recon.raw");
  r = run(with(kStack, {"STACK_FILE = scan.h5", "HDF5_DATASET = /exchange/projections"}));
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("WARNING: This HDF5 image cannot be input:\n"
                       "         the file has no dataset /exchange/projections\n"
                       "ERROR: STACK_FILE = scan.h5 cannot be input\n"),
            std::string::npos)
      << r.out;
  r = run({"NUM_FIRST_IMAGE = 0", "NUM_LAST_IMAGE = 94", "STACK_FILE = scan.h5"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("ERROR: Projection 4 is at 7.5 degrees in /exchange/theta of scan.h5, at "
                       "5.625 degrees by ANGLE_OFFSET and ANGLE_BETWEEN_PROJECTIONS"),
            std::string::npos)
      << r.out;
  r = run({"INPUT_FORMAT = JPEG"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("ERROR: INPUT_FORMAT = JPEG is not KEYWORD_HEADER, TIFF or HDF5\n"),
            std::string::npos);
  EXPECT_FALSE(e2e::fs::exists(scan_ / "recon.raw"));
}

// The TIFF and HDF5 volumes and the MetaImage header are written under temporary names and put
// in place only when the run succeeds; none of them may be one of the run's inputs.
TEST_F(Formats, VolumesOfEveryFormatAreWrittenSafely) {
  if (!have({"numpy", "tifffile", "h5py"})) GTEST_SKIP() << missing_;
  client({"tiff", "."});
  const std::vector<std::string> tiff = {"FILE_POSTFIX = .tif", "BACKGROUND_FILE = background.tif",
                                         "FLATFIELD_FILE = flat.tif"};
  for (const std::string format : {"TIFF", "HDF5", "TIFF_SLICES"}) {
    const std::string out = format == "TIFF" ? "recon.tif" : format == "HDF5" ? "recon.h5" : "slices";
    const std::vector<std::string> lines =
        with(tiff, {"OUTPUT_FORMAT = " + format, "OUTPUT_FILE = " + out});
    // A folder of slices replaces none: the failed run is the first.
    const bool folder = format == "TIFF_SLICES";
    if (!folder) {
      ASSERT_EQ(run(lines).exit_code, 0);
    }
    const std::string earlier = folder ? "" : e2e::read_text(scan_ / out);
    // Every projection unreadable: the run fails after it has begun writing.
    for (int k = 1; k <= 96; ++k) {
      char name[32];
      std::snprintf(name, sizeof name, "proj_%04d.tif", k);
      e2e::write_text(scan_ / name, "II*\0");
    }
    const RunResult r = run(lines);
    EXPECT_EQ(r.exit_code, 1) << r.out;
    EXPECT_NE(r.out.find("could be input for slices 1 to 5: no volume is written"),
              std::string::npos)
        << r.out;
    if (folder) {
      EXPECT_FALSE(e2e::fs::exists(scan_ / out));
    } else {
      EXPECT_EQ(e2e::read_text(scan_ / out), earlier) << format;
    }
    for (const auto& entry : e2e::fs::directory_iterator(scan_)) {
      EXPECT_EQ(entry.path().string().find(".tmp-"), std::string::npos) << entry.path();
    }
    client({"tiff", "."});
  }
  client({"hdf5", ".", "scan.h5", "--theta-step", "1.875"});
  RunResult r = run(with(kStack, {"STACK_FILE = scan.h5", "OUTPUT_FILE = scan.h5"}),
                    {"BACKGROUND_FILE", "FLATFIELD_FILE"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("ERROR: The output file scan.h5 is the same file as the stack file "
                       "scan.h5\n"),
            std::string::npos)
      << r.out;
  r = run({"OUTPUT_FORMAT = TIFF", "AXIS_SWEEP = 30 34 1"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("ERROR: AXIS_SWEEP writes its trial slices as raw records: write "
                       "OUTPUT_FORMAT = RAW\n"),
            std::string::npos)
      << r.out;
  r = run({"FLATFIELD_FILE = recon.raw.mhd"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("ERROR: The MetaImage header recon.raw.mhd is the same file as the flat "
                       "field recon.raw.mhd\n"),
            std::string::npos)
      << r.out;
}

// rav_master given one file holding a scan (an HDF5 file, a TIFF stack) writes the parameter
// file of the same run as given the folder of its images: the same volume, bit for bit.
TEST_F(Formats, RavMasterReadsScansHeldInOneFile) {
  if (!have({"numpy", "h5py", "tifffile"})) GTEST_SKIP() << missing_;
  const std::string master = RAV_BINARY_DIR "/rav_master";
  client({"hdf5", ".", "scan.h5", "--theta-step", "1.875"});
  client({"tiff", ".", "--stack", "stack.tif"});
  std::vector<float> first;
  for (const std::string source : {".", "scan.h5", "stack.tif"}) {
    SCOPED_TRACE(source);
    const RunResult written = test_support::run(
        master, {source, "--yes", "--pixel-size", "100", "--par", "master.par", "--output",
                 "master.raw"},
        {.dir = scan_});
    ASSERT_EQ(written.exit_code, 0) << written.out;
    const std::string text = e2e::read_text(scan_ / "master.par");
    EXPECT_EQ(text.find("ANGLES_FROM_FILE = YES") != std::string::npos, source == "scan.h5")
        << text;
    const RunResult r = test_support::run(test_support::kVuzav, {"master.par"}, {.dir = scan_});
    ASSERT_EQ(r.exit_code, 0) << r.out;
    if (first.empty()) first = volume("master.raw");
    ASSERT_EQ(first.size(), 64u * 64u * 5u);
    EXPECT_TRUE(volume("master.raw") == first);
  }
}

// A half-acquisition scan over a whole turn whose parameter file gives the angles of a half
// turn: with ANGLES_FROM_FILE the file's angles are those the run checks and joins.
TEST_F(Formats, HalfAcquisitionTakesTheAnglesOfTheFile) {
  if (!have({"numpy", "h5py"})) GTEST_SKIP() << missing_;
  e2e::fs::remove_all(scan_);
  const RunResult written = test_support::run(
      test_support::kPhantom,
      {"--out", scan_.string(), "--relative", "--bins", "64", "--projections", "48", "--slices",
       "3", "--turn", "360", "--half-acquisition", "--axis-offset", "20"});
  ASSERT_EQ(written.exit_code, 0) << written.out;
  ASSERT_EQ(run({}).exit_code, 0);
  const std::vector<float> expected = volume();
  client({"hdf5", ".", "scan.h5", "--theta-step", "7.5"});
  const RunResult r = run({"NUM_FIRST_IMAGE = 0", "NUM_LAST_IMAGE = 47", "STACK_FILE = scan.h5",
                           "ANGLES_FROM_FILE = YES", "ANGLE_BETWEEN_PROJECTIONS = 3.75"},
                          {"BACKGROUND_FILE", "FLATFIELD_FILE", "ANGLE_BETWEEN_PROJECTIONS"});
  ASSERT_EQ(r.exit_code, 0) << r.out;
  EXPECT_EQ(volume(), expected);
}

// Projections missing from the first quarter of the half turn: the file's angles are used one
// by one and each projection weighted by its share, so that the region the phantom holds
// uniform comes out as from the whole scan.
TEST_F(Formats, AnglesThatAreNotEvenlySpacedAreWeighted) {
  if (!have({"numpy", "h5py"})) GTEST_SKIP() << missing_;
  ASSERT_EQ(run({}).exit_code, 0);
  const std::vector<float> whole = volume();
  client({"hdf5", ".", "uneven.h5", "--theta-step", "1.875", "--drop", "3", "4", "5", "6", "7",
          "8", "20", "21", "22"});
  const RunResult r = run({"NUM_FIRST_IMAGE = 0", "NUM_LAST_IMAGE = 86", "STACK_FILE = uneven.h5",
                           "ANGLES_FROM_FILE = YES"},
                          {"BACKGROUND_FILE", "FLATFIELD_FILE"});
  ASSERT_EQ(r.exit_code, 0) << r.out;
  EXPECT_NE(r.out.find("INFO: Angles from /exchange/theta of uneven.h5: not evenly spaced, each "
                       "projection weighted by\n      its share of the angular range\n"),
            std::string::npos)
      << r.out;
  const std::vector<float> uneven = volume();
  // The axis finder takes evenly spaced angles only.
  const RunResult automatic =
      run({"NUM_FIRST_IMAGE = 0", "NUM_LAST_IMAGE = 86", "STACK_FILE = uneven.h5",
           "ANGLES_FROM_FILE = YES", "ROTATION_AXIS_POSITION = AUTO"},
          {"BACKGROUND_FILE", "FLATFIELD_FILE", "ROTATION_AXIS_POSITION"});
  EXPECT_EQ(automatic.exit_code, 1);
  EXPECT_NE(automatic.out.find("ERROR: The angles of /exchange/theta of uneven.h5 are not evenly "
                               "spaced: ROTATION_AXIS_POSITION = AUTO"),
            std::string::npos)
      << automatic.out;
  for (int z = 0; z < 5; ++z) {
    double a = 0, b = 0;
    for (int y = 28; y < 36; ++y) {
      for (int x = 28; x < 36; ++x) {
        a += whole[static_cast<std::size_t>((z * 64 + y) * 64 + x)];
        b += uneven[static_cast<std::size_t>((z * 64 + y) * 64 + x)];
      }
    }
    EXPECT_NEAR(b, a, 0.01 * a) << "slice " << z + 1;
  }
}

}  // namespace
