// Opening with the library's command-line options, the defaults, the setter checks, closing.
#include <fstream>

#include "vu_test_support.h"

using namespace vu_test;

namespace {

void expect_region(const VuRegion& r, float x_min, float y_min, float x_max, float y_max) {
  EXPECT_FLOAT_EQ(r.x_min, x_min);
  EXPECT_FLOAT_EQ(r.y_min, y_min);
  EXPECT_FLOAT_EQ(r.x_max, x_max);
  EXPECT_FLOAT_EQ(r.y_max, y_max);
}

// Opens with ARGS (always as pictures, no window) and returns what was printed.
std::string open_with(const std::vector<std::string>& args, std::int32_t& status) {
  std::vector<std::string> all = args;
  all.push_back("+PNG");
  testing::internal::CaptureStdout();
  open_graphics(all, status);
  return testing::internal::GetCapturedStdout();
}

class Options : public InTempDir {
 protected:
  void TearDown() override {
    close_graphics();
    InTempDir::TearDown();
  }
};

}  // namespace

TEST_F(Options, NoOptionsGivePortraitAndTheDefaults) {
  std::int32_t status;
  const std::string out = open_with({"params.txt"}, status);
  ASSERT_EQ(status, ST_OK);
  EXPECT_EQ(out, "INFO: Graphics pages are written as PNG files rav_plot_0001.png, ... in " +
                     std::filesystem::current_path().string() + "\n");
  int width = 0, height = 0;
  ASSERT_TRUE(dv_x11_page_size(width, height));
  EXPECT_EQ(width, 500);
  EXPECT_EQ(height, 707);
  EXPECT_EQ(VU_WINDOWFORMAT.format, 0);
  EXPECT_EQ(DV_DB_SYSTEM.device_type[0], DV_TYPE_WINDOW_PORTRAIT);
  EXPECT_EQ(VU_DB_JCOLOURS.low, 108);
  EXPECT_EQ(VU_DB_JCOLOURS.high, 210);
  EXPECT_EQ(DV_DB_COLOURS.requested_low, 108);
  EXPECT_EQ(DV_DB_COLOURS.requested_high, 210);
  EXPECT_EQ(VU_COM_LUT.choice, 2);
  EXPECT_EQ(VU_COM_LUT.levels, 247);

  // A sample of the defaults as the program's plots read them.
  expect_region(VU_GPP.reserved, 0.1f, 0.3929f, 0.6071f, 0.9f);
  expect_region(VU_GPP.drawn, 0.1f, 0.3929f, 0.6071f, 0.9f);
  EXPECT_TRUE(VU_IASPECT.value);
  EXPECT_TRUE(VU_COM_LUT.display);
  EXPECT_EQ(VU_COM_LUT.scale_mode, 0);
  EXPECT_EQ(VU_COM_LUT.scale_max, 1.0f);
  EXPECT_TRUE(VU_BACKGROUND_STYLE.fill);
  EXPECT_EQ(VU_BACKGROUND_STYLE.colour, 2);
  EXPECT_FLOAT_EQ(VU_GRAPHLAYOUT.x_enum_gap, 0.015f);
  EXPECT_FLOAT_EQ(VU_GRAPHLAYOUT.title_gap, 0.05f);
  EXPECT_FLOAT_EQ(VU_HAXESSTYLE.major_length, 0.01f);
  EXPECT_FLOAT_EQ(VU_VAXESSTYLE.minor_length, 0.005f);
  EXPECT_EQ(VU_VAXESSTYLE.minor_ticks, 9);
  EXPECT_EQ(VU_YLABELORIENTATION, 1);
  EXPECT_EQ(VU_AXESSTYLE.x, 0);
  EXPECT_FALSE(VU_GRID_FLAGS.h_coarse);
  EXPECT_EQ(VU_HCOARSEGRID.line_style, 4);
  EXPECT_EQ(VU_VFINEGRID.line_style, 3);
  EXPECT_EQ(VU_MASKCOLOUR, 3);
  EXPECT_TRUE(VU_COM_MASKPIXELS.value);
  EXPECT_EQ(VU_COM_PIXELLIMITS.first, 600);
  EXPECT_FALSE(VU_DLUTPC.drawn);
  EXPECT_FALSE(VU_PSFILE.open);
  EXPECT_TRUE(VU_POSTSCRIPT.value);
  expect_region(VU_DB_PROGRESS.region, 0.0f, 0.0f, 0.7071f, 0.29f);
  expect_region(VU_KEY.region, 0.1f, 0.05f, 0.6071f, 0.2929f);
  expect_region(VU_GUIREGION, 0.0f, 0.0f, 0.7071f, 0.15f);
  EXPECT_FALSE(VU_DOC_CONTROL.form_documentation);
  // Values no plot reads come back as they were set.
  std::int32_t font = 0, colour = 0, line_style = 0, line_colour = 0;
  float size = 0, aspect = 0, angle = 9, line_width = 0;
  VU_INQ_KEYSTYLE(font, colour, size, aspect, angle, line_style, line_width, line_colour, status);
  EXPECT_EQ(font, 1);
  EXPECT_EQ(angle, 0.0f);
  EXPECT_EQ(line_colour, 1);
  bool display = false, auto_decimals = false, auto_factor = false;
  std::int32_t max_chars = 0, decimals = 0;
  VU_INQ_YAXISENUM(display, font, colour, size, aspect, angle, max_chars, decimals, auto_decimals,
                   auto_factor, status);
  EXPECT_EQ(max_chars, 5);
  EXPECT_EQ(decimals, 2);
  EXPECT_TRUE(auto_factor);
  ASSERT_EQ(status, ST_OK);
}

TEST_F(Options, LandscapeInAnyCase) {
  std::int32_t status;
  open_with({"params.txt", "landscape"}, status);
  ASSERT_EQ(status, ST_OK);
  int width = 0, height = 0;
  ASSERT_TRUE(dv_x11_page_size(width, height));
  EXPECT_EQ(width, 707);
  EXPECT_EQ(height, 500);
  EXPECT_EQ(VU_WINDOWFORMAT.format, 1);
  EXPECT_EQ(DV_DB_SYSTEM.device_type[0], DV_TYPE_WINDOW_LANDSCAPE);
  expect_region(VU_GPP.reserved, 0.1f, 0.1f, 0.9f, 0.6071f);
  expect_region(VU_KEY.region, 0.7071f, 0.1f, 0.9f, 0.6071f);
  EXPECT_TRUE(VU_KEY.frame);
  expect_region(VU_MESSAGE, 0.0f, 0.0f, 1.0f, 0.7071f);
  expect_region(VU_GUIREGION, 0.0f, 0.0f, 1.0f, 0.1f);
  close_graphics();

  // Other spellings; longer words only match as whole words.
  for (const char* word : {"+LAND", "-land", "Land", "-LANDSCAPE", "+Landscape"}) {
    open_with({word}, status);
    EXPECT_EQ(VU_WINDOWFORMAT.format, 1) << word;
    close_graphics();
  }
  open_with({"-LANDX", "LANDSCAPES"}, status);
  EXPECT_EQ(VU_WINDOWFORMAT.format, 0);
}

TEST_F(Options, ColourCountsAreClampedOrRefused) {
  std::int32_t status;
  std::string out = open_with({"-COLOURS8"}, status);
  ASSERT_EQ(status, ST_OK);
  EXPECT_EQ(VU_DB_JCOLOURS.low, 16);
  EXPECT_EQ(VU_DB_JCOLOURS.high, 16);
  EXPECT_EQ(DV_DB_COLOURS.requested_high, 16);
  close_graphics();

  open_with({"+colours999"}, status);
  EXPECT_EQ(VU_DB_JCOLOURS.low, 256);
  EXPECT_EQ(VU_DB_JCOLOURS.high, 256);
  close_graphics();

  open_with({"-col32"}, status);
  EXPECT_EQ(VU_DB_JCOLOURS.low, 32);
  close_graphics();

  out = open_with({"-COLOURSX"}, status);
  ASSERT_EQ(status, ST_OK);
  EXPECT_EQ(out.substr(0, 33), "WARNING: Bad command line option\n");
  EXPECT_EQ(VU_DB_JCOLOURS.low, 108);
  EXPECT_EQ(VU_DB_JCOLOURS.high, 210);
  close_graphics();

  out = open_with({"+COL"}, status);
  EXPECT_EQ(out.substr(0, 33), "WARNING: Bad command line option\n");
}

TEST_F(Options, DocumentationFlagsWithEitherSign) {
  std::int32_t status;
  open_with({"-DFORM", "+DMENU"}, status);
  EXPECT_TRUE(VU_DOC_CONTROL.form_documentation);
  EXPECT_TRUE(VU_DOC_CONTROL.menu_documentation);
  close_graphics();
  open_with({"+dform"}, status);
  EXPECT_TRUE(VU_DOC_CONTROL.form_documentation);
  EXPECT_FALSE(VU_DOC_CONTROL.menu_documentation);
}

TEST_F(Options, PngWritesOnePageFilePerUpdate) {
  set_command_line({"params.txt", "-png"});
  std::int32_t status = fresh_status();
  testing::internal::CaptureStdout();
  VU_OPEN_GRAPHICS(status);
  const std::string out = testing::internal::GetCapturedStdout();
  ASSERT_EQ(status, ST_OK);
  EXPECT_NE(out.find("INFO: "), std::string::npos);
  EXPECT_NE(out.find(std::filesystem::current_path().string()), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists("rav_plot_0001.png"));
  std::vector<float> data(16, 1.0f);
  data[0] = 0.0f;
  const std::vector<float> axis = centres(4);
  VU_PLOT(4, 4, data.data(), axis.data(), axis.data(), 1, 1, 4, 4, "A", "", "", "", status);
  VU_UPDATE(status);
  VU_UPDATE(status);
  ASSERT_EQ(status, ST_OK);
  EXPECT_TRUE(std::filesystem::exists("rav_plot_0001.png"));
  EXPECT_TRUE(std::filesystem::exists("rav_plot_0002.png"));
  EXPECT_FALSE(std::filesystem::exists("rav_plot_0003.png"));
  // A PNG file starts with its signature.
  std::ifstream png("rav_plot_0001.png", std::ios::binary);
  char signature[8] = {};
  png.read(signature, 8);
  EXPECT_EQ(std::string(signature + 1, 3), "PNG");
}

TEST_F(Options, SettersRefuseBadValuesAndStoreNothing) {
  std::int32_t status;
  open_with({}, status);
  ASSERT_EQ(status, ST_OK);
  status = fresh_status();
  VU_SET_GPP(0.5f, 0.1f, 0.4f, 0.9f, status);
  EXPECT_EQ(status, 140013);
  EXPECT_EQ(st_position().substr(0, 27), "Subroutine VU_SET_GPP V0.1 ");
  status = fresh_status();
  VU_SET_GPP(0.1f, 0.9f, 0.4f, 0.9f, status);
  EXPECT_EQ(status, 140014);
  expect_region(VU_GPP.reserved, 0.1f, 0.3929f, 0.6071f, 0.9f);

  status = fresh_status();
  VU_SET_TITLESTYLE(true, 1, 1, 0.0f, 1.0f, 0.0f, status);
  EXPECT_EQ(status, 140021);
  EXPECT_EQ(VU_TITLESTYLE.size, 1.0f);

  status = fresh_status();
  VU_SET_IMAGESCALE(5, 0.0f, 1.0f, status);
  EXPECT_EQ(status, 140017);
  status = fresh_status();
  VU_SET_IMAGESCALE(1, 2.0f, 1.0f, status);
  EXPECT_EQ(status, 140013);
  status = fresh_status();
  VU_SET_IMAGESCALE(2, 2.0f, 1.0f, status);  // only mode 1 compares the two
  EXPECT_EQ(status, ST_OK);

  status = fresh_status();
  VU_SET_PROGRESS(0.0f, 0.0f, 0.7f, 0.3f, 1, status);
  EXPECT_EQ(status, 140017);

  // The image region may have no width, but not a reversed one (whose values are shown).
  status = fresh_status();
  VU_SET_IDR(3.0f, 0.0f, 3.0f, 1.0f, status);
  EXPECT_EQ(status, ST_OK);
  testing::internal::CaptureStdout();
  VU_SET_IDR(3.0f, 0.0f, 2.0f, 1.0f, status);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(status, 140013);
  EXPECT_EQ(out.substr(0, 29), "ERROR: Bad image data region:");
  expect_region(VU_IDR, 3.0f, 0.0f, 3.0f, 1.0f);

  // The drawn LUT position of "nothing drawn" holds an empty rectangle by design.
  status = fresh_status();
  VU_SET_DLUTPC(false, 1.0f, 1.0f, -1.0f, -1.0f, status);
  EXPECT_EQ(status, ST_OK);
  VU_SET_DLUTPC(true, 1.0f, 1.0f, -1.0f, -1.0f, status);
  EXPECT_EQ(status, 140013);

  // Setters do nothing on a bad status.
  status = 140013;
  VU_SET_BACKGROUND(false, 5, status);
  EXPECT_TRUE(VU_BACKGROUND_STYLE.fill);
}

TEST_F(Options, ClosingWithoutPostScriptWritesNothing) {
  std::int32_t status;
  open_with({}, status);
  close_graphics();
  EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::current_path()));
  open_with({}, status);  // for the fixture's close
}

TEST_F(Options, ClosingEndsAnOpenPostScriptFile) {
  std::int32_t status;
  open_with({}, status);
  status = fresh_status();
  open_postscript("out.ps", status);
  ASSERT_EQ(status, ST_OK);
  VU_SET_PSFILE(true);
  VU_PSFILE.file_name = "out.ps";
  VU_CLOSE_GRAPHICS(status);
  ASSERT_EQ(status, ST_OK);
  EXPECT_FALSE(VU_PSFILE.open);
  std::ifstream in("out.ps");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.front(), "%!PS-Adobe-2.0");
  EXPECT_EQ(lines.back(), "% End of PostScript file");
  EXPECT_EQ(DV_DB_SYSTEM.open, 0);
  EXPECT_EQ(DV_DB_SYSTEM.count, 0);
  // Reopen for the fixture's close.
  open_with({}, status);
}
