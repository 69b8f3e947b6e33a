// Survey of bad inputs, image rows: missing, unreadable, empty and truncated images,
// directories in place of images, headers with absurd dimensions, a wrong "Size", data types
// and byte orders that lie, NaN and infinity pixels, projections of the wrong size.
//
// What the program does with them follows one rule. A background or flat field that cannot be
// used would spoil every projection: "ERROR: " and the end of the run (exit code 1). A
// projection file that cannot be opened ends the run through the status report (exit code 1).
// A projection that opens but cannot be used is reported ("WARNING: Problem inputting from"
// and its name) and counts as zero; the run completes (exit code 0) with the other
// projections. Either way no incomplete volume is left with an info file.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "survey.h"

namespace {

namespace fs = std::filesystem;
using rav_survey::lines_starting;
using rav_survey::expect_clean_end;

class ImageSurvey : public rav_survey::Survey {
 protected:
  test_support::RunResult run_scan(bool unprivileged = false) const {
    const test_support::RunResult r = vuzav({"phantom.par"}, unprivileged);
    expect_clean_end(r);
    return r;
  }

  // The run went on without projection NAME: reported, counted as zero, volume complete.
  void expect_projection_skipped(const test_support::RunResult& r, const std::string& name,
                                 int bins = 16) const {
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_NE(r.out.find("WARNING: Problem inputting from\n         " + name + "\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("INFO: RAV_VUZAV V1.7  FINISHED"), std::string::npos);
    expect_complete_volume(bins);
  }

  // The run stopped with an ERROR line for the reference image NAME; no complete volume.
  void expect_reference_refused(const test_support::RunResult& r, const std::string& message,
                                const std::string& name) const {
    EXPECT_EQ(r.exit_code, 1) << r.out;
    EXPECT_NE(r.out.find(message + "\n" + name + "\n"), std::string::npos) << r.out;
    expect_no_complete_volume();
  }
};

TEST_F(ImageSurvey, MissingOrUnreadableProjectionEndsTheRun) {
  make_scan();
  // A complete volume of an earlier run stays as it was.
  ASSERT_EQ(run_scan().exit_code, 0);
  const std::string volume = read("recon.raw"), info = read("recon.raw.info");

  fs::remove(path("proj_0004.zlf"));
  test_support::RunResult r = run_scan();
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("WARNING: Problem inputting from\n         proj_0004.zlf\n"
                       "         No such file or directory\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Failed to open file"), std::string::npos) << r.out;
  EXPECT_TRUE(read("recon.raw") == volume);
  EXPECT_EQ(read("recon.raw.info"), info);

  // A file that is there but cannot be read says why.
  make_scan();
  ::chmod(path("proj_0004.zlf").c_str(), 0);
  r = run_scan(/*unprivileged=*/true);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("proj_0004.zlf\n         Permission denied\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Failed to open file"), std::string::npos) << r.out;
  expect_no_complete_volume();
}

TEST_F(ImageSurvey, MissingUnreadableEmptyOrDirectoryBackgroundAndFlatField) {
  for (const char* reference : {"background.zlf", "flat.zlf"}) {
    const std::string message = std::string(reference) == "flat.zlf"
                                    ? "ERROR: Problem inputting flat-field"
                                    : "ERROR: Problem inputting background";
    SCOPED_TRACE(reference);
    make_scan();
    fs::remove(path(reference));
    expect_reference_refused(run_scan(), message, reference);

    make_scan();
    ::chmod(path(reference).c_str(), 0);
    expect_reference_refused(run_scan(/*unprivileged=*/true), message, reference);

    make_scan();
    write(reference, "");
    expect_reference_refused(run_scan(), message, reference);

    make_scan();
    fs::remove(path(reference));
    fs::create_directory(path(reference));
    expect_reference_refused(run_scan(), message, reference);
  }
}

TEST_F(ImageSurvey, EmptyTruncatedOrDirectoryProjectionIsSkipped) {
  make_scan();
  write("proj_0002.zlf", "");
  test_support::RunResult r = run_scan();
  EXPECT_NE(r.out.find("WARNING: Error in reading start of header: image not input"),
            std::string::npos);
  expect_projection_skipped(r, "proj_0002.zlf");

  make_scan();
  write("proj_0002.zlf", read("proj_0002.zlf").substr(0, 500));  // header cut
  expect_projection_skipped(run_scan(), "proj_0002.zlf");

  make_scan();
  write("proj_0002.zlf", read("proj_0002.zlf").substr(0, 1024 + 100));  // pixels cut
  r = run_scan();
  EXPECT_NE(r.out.find("WARNING: 100 bytes input instead of 128 requested"), std::string::npos)
      << r.out;
  expect_projection_skipped(r, "proj_0002.zlf");

  make_scan();
  fs::remove(path("proj_0002.zlf"));
  fs::create_directory(path("proj_0002.zlf"));
  expect_projection_skipped(run_scan(), "proj_0002.zlf");
}

TEST_F(ImageSurvey, AbsurdDimensions) {
  // Dim_1 or Dim_2 of 0 or negative: the region lies beyond the image.
  for (const char* key : {"Dim_1", "Dim_2"}) {
    for (const char* value : {"0", "-5", "-2147483648"}) {
      SCOPED_TRACE(std::string(key) + " = " + value);
      make_scan();
      set_header("proj_0005.zlf", key, value);
      expect_projection_skipped(run_scan(), "proj_0005.zlf");
    }
  }
  // Dim_1 of 2^31 - 1: rows of 2^31 - 1 pixels are not in the file.
  make_scan();
  set_header("proj_0005.zlf", "Dim_1", "2147483647");
  test_support::RunResult r = run_scan();
  EXPECT_NE(r.out.find("WARNING: 128 bytes input instead of 1024 requested"), std::string::npos);
  expect_projection_skipped(r, "proj_0005.zlf");

  // Dim_2 of 2^31 - 1: the rows the pass needs are there and are read as usual.
  make_scan();
  ASSERT_EQ(run_scan().exit_code, 0);
  const std::vector<float> reference = floats("recon.raw");
  set_header("proj_0005.zlf", "Dim_2", "2147483647");
  r = run_scan();
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(lines_starting(r.out, "WARNING: ").empty()) << r.out;
  EXPECT_EQ(floats("recon.raw"), reference);

  // Dimensions that are no numbers: each value is reported and the image is not used.
  make_scan();
  set_header("proj_0005.zlf", "Dim_1", "sixteen");
  r = run_scan();
  EXPECT_NE(r.out.find("WARNING: Problem of converting key value\n"
                       "         Keyword = DIM_1\n"
                       "         Value   = sixteen\n"),
            std::string::npos)
      << r.out;
  expect_projection_skipped(r, "proj_0005.zlf");
}

TEST_F(ImageSurvey, WrongSizeKeyword) {
  make_scan();
  ASSERT_EQ(run_scan().exit_code, 0);
  const std::vector<float> reference = floats("recon.raw");
  // "Size" only tells whether further images follow; on image 1 any value is ignored.
  for (const char* value : {"0", "-1", "99999999", "2147483647", "many"}) {
    SCOPED_TRACE(value);
    make_scan();
    for (int j = 1; j <= 12; ++j) {
      char name[32];
      std::snprintf(name, sizeof name, "proj_%04d.zlf", j);
      set_header(name, "Size", value);
    }
    const test_support::RunResult r = run_scan();
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(floats("recon.raw"), reference);
  }
  // An image numbered 2 with a "Size": the search goes on behind it and finds no image 1.
  make_scan();
  set_header("proj_0003.zlf", "Image", "2");
  set_header("proj_0003.zlf", "Size", "128");
  test_support::RunResult r = run_scan();
  EXPECT_NE(r.out.find("INFO: \"Image\" number        2 has been found, continuing search ..."),
            std::string::npos)
      << r.out;
  expect_projection_skipped(r, "proj_0003.zlf");
  // Without a "Size" the reader says that no image 1 is there.
  make_scan();
  set_header("proj_0003.zlf", "Image", "2");
  r = run_scan();
  EXPECT_NE(r.out.find("ERROR: The required \"Image\" number has not been found"),
            std::string::npos);
  expect_projection_skipped(r, "proj_0003.zlf");
}

TEST_F(ImageSurvey, DataTypesAndByteOrdersThatLie) {
  // 16-bit pixels declared as 4-byte ones: the file is too short for the rows.
  for (const char* type : {"FLOAT", "UnsignedInteger", "SignedInteger"}) {
    SCOPED_TRACE(type);
    make_scan();
    set_header("proj_0006.zlf", "DataType", type);
    const test_support::RunResult r = run_scan();
    EXPECT_NE(r.out.find("WARNING: 128 bytes input instead of 256 requested"), std::string::npos)
        << r.out;
    expect_projection_skipped(r, "proj_0006.zlf");
  }
  // Types and compressions the reader does not know.
  make_scan();
  set_header("proj_0006.zlf", "DataType", "Complex");
  test_support::RunResult r = run_scan();
  EXPECT_NE(r.out.find("WARNING: The image data in this file has been written using an "
                       "unsupported\n         data type. It cannot be input.\n"),
            std::string::npos);
  expect_projection_skipped(r, "proj_0006.zlf");
  make_scan();
  set_header("proj_0006.zlf", "Compression", "JPEG");
  r = run_scan();
  EXPECT_NE(r.out.find("WARNING: The image data in this file has been written using a "
                       "compression\n         algorithm. It cannot be input.\n"),
            std::string::npos);
  expect_projection_skipped(r, "proj_0006.zlf");
  make_scan();
  set_header("proj_0006.zlf", "ByteOrder", "MiddleEndian");
  r = run_scan();
  EXPECT_NE(r.out.find("WARNING: Problem of converting key value\n"
                       "         Keyword = BYTEORDER\n"),
            std::string::npos);
  EXPECT_EQ(r.exit_code, 0);

  // A byte order or signedness that lies gives other numbers of the same size: nothing in the
  // file tells. The volume is complete and finite but wrong; only values that end at or below
  // zero after the corrections are reported.
  make_scan();
  ASSERT_EQ(run_scan().exit_code, 0);
  const std::vector<float> reference = floats("recon.raw");
  for (const char* order : {"HighByteFirst"}) {
    make_scan();
    for (int j = 1; j <= 12; ++j) {
      char name[32];
      std::snprintf(name, sizeof name, "proj_%04d.zlf", j);
      set_header(name, "ByteOrder", order);
    }
    r = run_scan();
    EXPECT_EQ(r.exit_code, 0);
    expect_complete_volume();
    EXPECT_NE(floats("recon.raw"), reference);
  }
}

TEST_F(ImageSurvey, NanAndInfinityPixels) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* file;
    float value;
    bool logarithm;
    const char* warning;
  };
  const char* raised = "WARNING: 1 corrected values were not above 1e-06";
  const char* not_finite = "WARNING: 1 corrected values were not finite";
  const Case cases[] = {
      {"proj_0003.zlf", nan, true, raised},       {"proj_0003.zlf", inf, true, not_finite},
      {"proj_0003.zlf", -inf, true, raised},      {"proj_0003.zlf", nan, false, not_finite},
      {"proj_0003.zlf", inf, false, not_finite},  {"proj_0003.zlf", -inf, false, not_finite},
      {"flat.zlf", nan, true, "WARNING: 12 corrected values were not above 1e-06"},
      {"background.zlf", inf, true, "WARNING: 12 corrected values were not above 1e-06"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + std::to_string(c.value) +
                 (c.logarithm ? " with logarithm" : " without logarithm"));
    make_scan({"--float"});
    set_float_pixel(c.file, 20, c.value);
    if (!c.logarithm) set_parameter("TAKE_LOGARITHM", "NO");
    const test_support::RunResult r = run_scan();
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_NE(r.out.find(c.warning), std::string::npos) << r.out;
    expect_complete_volume();
  }
}

TEST_F(ImageSurvey, ProjectionsOfTheWrongSize) {
  // One projection of a scan of 32 x 4 pixels taken from a scan of another size.
  const auto replace_projection = [&](const std::vector<std::string>& options) {
    make_scan({"--bins", "32"});
    const fs::path other = path("other");
    make_scan_in(other, options);
    fs::copy_file(other / "proj_0007.zlf", path("proj_0007.zlf"),
                  fs::copy_options::overwrite_existing);
    fs::remove_all(other);
  };
  // Narrower than NUM_IMAGE_1, or fewer rows than the slices: skipped with a warning.
  replace_projection({"--bins", "16"});
  expect_projection_skipped(run_scan(), "proj_0007.zlf", 32);
  replace_projection({"--bins", "32", "--slices", "2"});
  expect_projection_skipped(run_scan(), "proj_0007.zlf", 32);

  // Wider and taller: the region the parameters name is read from it, without a message.
  replace_projection({"--bins", "64", "--slices", "8"});
  test_support::RunResult r = run_scan();
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(lines_starting(r.out, "WARNING: ").empty()) << r.out;
  expect_complete_volume(32);

  // A background or flat field of the wrong size would spoil every projection: the run stops.
  make_scan();
  set_parameter("NUM_IMAGE_1", "32");
  set_parameter("ROTATION_AXIS_POSITION", "16");
  expect_reference_refused(run_scan(), "ERROR: Problem inputting background", "background.zlf");
}

TEST_F(ImageSurvey, StoredSinograms) {
  // Sinograms written by a first run, then reconstructed directly.
  const auto prepare = [&] {
    make_scan();
    set_parameter("OUTPUT_SINOGRAMS", "YES");
    ASSERT_EQ(run_scan().exit_code, 0);
    fs::remove(path("recon.raw"));
    fs::remove(path("recon.raw.info"));
    write("sino.par",
          "! RAV_VUZAV PARAMETER FILE\n"
          "RECONSTRUCT_FROM_SINOGRAMS = YES\nSINOGRAM_PREFIX = sino_\n"
          "SINOGRAM_POSTFIX = .zlf\nNUM_FIRST_SINOGRAM = 1\nNUM_LAST_SINOGRAM = 4\n"
          "SINOGRAM_INTERVAL = 1\nLENGTH_OF_NUMERICAL_PART = 4\nNUM_IMAGE_1 = 16\n"
          "NUM_IMAGE_2 = 12\nANGLE_BETWEEN_PROJECTIONS = 15\nROTATION_AXIS_POSITION = 8\n"
          "OVERSAMPLING_FACTOR = 0\nOUTPUT_FILE = recon.raw\nSTART_VOXEL_1 = 1\n"
          "END_VOXEL_1 = 16\nSTART_VOXEL_2 = 1\nEND_VOXEL_2 = 16\n");
  };
  // NaN and infinite values: set to 0 and reported.
  for (const float value : {std::numeric_limits<float>::quiet_NaN(),
                            -std::numeric_limits<float>::infinity()}) {
    prepare();
    set_float_pixel("sino_0002.zlf", 30, value);
    const test_support::RunResult r = vuzav({"sino.par"});
    expect_clean_end(r);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_NE(r.out.find("WARNING: 1 values of sino_0002.zlf were not finite (infinite or NaN) "
                         "and were set to 0"),
              std::string::npos)
        << r.out;
    expect_complete_volume();
  }
  // A truncated sinogram gives a zero slice with a warning.
  prepare();
  write("sino_0003.zlf", read("sino_0003.zlf").substr(0, 1100));
  expect_projection_skipped(vuzav({"sino.par"}), "sino_0003.zlf");
  // Every one of them truncated: no volume of zero slices (the earlier one stays as it was).
  const std::string earlier = read("recon.raw");
  for (int n = 1; n <= 4; ++n) {
    const std::string name = "sino_000" + std::to_string(n) + ".zlf";
    write(name, read(name).substr(0, 1100));
  }
  const test_support::RunResult none = vuzav({"sino.par"});
  EXPECT_EQ(none.exit_code, 1);
  EXPECT_EQ(lines_starting(none.out, "ERROR: "),
            std::vector<std::string>{"ERROR: None of the 4 slices had an input that could be "
                                     "read: no volume is written"})
      << none.out;
  EXPECT_TRUE(read("recon.raw") == earlier);
  // A missing one ends the run; no volume is described as complete.
  prepare();
  fs::remove(path("sino_0003.zlf"));
  const test_support::RunResult r = vuzav({"sino.par"});
  expect_clean_end(r);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("Failed to open file"), std::string::npos) << r.out;
  expect_no_complete_volume();
}

}  // namespace
