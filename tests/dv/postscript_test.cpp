// PostScript back-end: the file written through a PostScript workstation (prologue, attribute
// lines, a line, a polygon, text, a cell array, the page end).
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "dv_test_util.h"

namespace {

constexpr std::int32_t kUnit = 17;

class DvPostScript : public testing::Test {
 protected:
  void SetUp() override {
    ST_DEF_SYSTEM(status);
    dv_reset();
    char pattern[] = "/tmp/dv_ps_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory = pattern;
    DV_OPEN(0, status);
    ASSERT_EQ(status, ST_OK);
  }
  void TearDown() override {
    dv_reset();
    std::int32_t local = ST_OK;
    UT_CLOSE_ASCIIFILE(kUnit, local);
    std::filesystem::remove_all(directory);
  }

  void open_ps(std::int32_t type) {
    std::int32_t retstat = 1;
    UT_OPEN_ASCIIFILE(false, "WRITE", kUnit, (directory / "out.ps").string(), retstat, status);
    ASSERT_EQ(retstat, 0);
    DV_OPEN_WK(2, kUnit, type, status);
    DV_ACTIVATE_WK(2, status);
    ASSERT_EQ(status, ST_OK);
  }

  std::vector<std::string> close_and_read() {
    DV_CLOSE_WK(2, status);
    UT_CLOSE_ASCIIFILE(kUnit, status);
    std::ifstream in(directory / "out.ps");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  static std::size_t find(const std::vector<std::string>& lines, const std::string& line,
                          std::size_t from = 0) {
    for (std::size_t k = from; k < lines.size(); ++k) {
      if (lines[k] == line) return k;
    }
    return std::string::npos;
  }

  std::int32_t status = ST_OK;
  std::filesystem::path directory;
};

TEST_F(DvPostScript, FileHasPrologueAndPrimitives) {
  open_ps(DV_TYPE_PS_PORTRAIT_COLOUR);
  DV_DATAWINDOW(0.0f, 0.0f, 100.0f, 100.0f, status);
  DV_VIEWPORT(0.1f, 0.1f, 0.6f, 0.6f, status);
  const float hx[2] = {10.0f, 90.0f};
  const float hy[2] = {20.0f, 20.0f};
  DV_POLYLINE(2, hx, hy, status);
  const float px[3] = {10.0f, 50.0f, 90.0f};
  const float py[3] = {10.0f, 80.0f, 10.0f};
  DV_POLYLINE(3, px, py, status);
  DV_FILLCOLOUR(43, status);  // red: without a window the basic colours start at 41
  DV_FILLAREA(3, px, py, status);
  DV_TEXT(10.0f, 95.0f, "Slice (a)  ", status);
  const float data[6] = {0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f};
  DV_RMASKCELLARRAY(false, 0.0f, 0.0f, 30.0f, 20.0f, 3, 2, 1, 1, 3, 2, data, nullptr, 0.0f,
                    5.0f, 3, status);
  DV_LINESTYLE(2, status);
  DV_LINESTYLE(2, status);  // unchanged: nothing more is written
  DV_UPDATE(2, 0, status);
  ASSERT_EQ(status, ST_OK);
  const std::vector<std::string> lines = close_and_read();
  ASSERT_GT(lines.size(), 60u);

  const std::vector<std::string> head = {
      "%!PS-Adobe-2.0",
      "%%BoundingBox: 18 23 569 810",
      "%%Creator: Produced by the \"Divect Graphics\" system",
      "%%Title: \"Divect Graphics\" V1.5 PostScript Output",
      " ",
      "% Definition of variables",
      "/pl_r 0 def /pl_g 0 def /pl_b 0 def /pl_w   5 def /pl_t 0 def",
      "/pm_r 0 def /pm_g 0 def /pm_b 0 def /pm_t 5 def /pm_s  52 def/pm_w   5 def",
  };
  for (std::size_t k = 0; k < head.size(); ++k) EXPECT_EQ(lines[k], head[k]) << k;
  EXPECT_NE(lines[8].find("/dash  78 def /dot  10 def /gap  31 def"), std::string::npos);

  const std::size_t functions = find(lines, "% Definition of functions");
  const std::size_t scale = find(lines, "0.1 0.1 scale");
  const std::size_t end = find(lines, "% End of prologue");
  const std::size_t state = find(lines, "% Define current graphics state");
  ASSERT_NE(functions, std::string::npos);
  ASSERT_NE(end, std::string::npos);
  EXPECT_LT(functions, scale);
  EXPECT_EQ(lines[scale + 1], " 131 1 tf");
  EXPECT_EQ(lines[end + 2], "% Define current graphics state");
  // The layer's current attributes: line style 1, line colour 1 (black at the first basic index
  // 41 before any window), line width.
  EXPECT_EQ(lines[state + 1], "   1 pt");
  EXPECT_EQ(lines[state + 2], "0.0000 0.0000 0.0000 pc");
  EXPECT_EQ(lines[state + 3], "   5 pw");

  // Page coordinates: x = trunc(trunc(39.355 * X) + 967.1), y likewise with offset 1017.1.
  const float xs = 0.5f * 7871.0f / 100.0f;
  const float xo = 180.0f + 0.1f * 7871.0f;
  const float yo = 230.0f + 0.1f * 7871.0f;
  auto px_of = [&](float x) { return static_cast<int>(static_cast<float>(static_cast<int>(xs * x)) + xo); };
  auto py_of = [&](float y) { return static_cast<int>(static_cast<float>(static_cast<int>(xs * y)) + yo); };
  const std::string hl = std::to_string(px_of(10.0f)) + " " + std::to_string(py_of(20.0f)) + " " +
                         std::to_string(px_of(90.0f) - px_of(10.0f)) + " hl";
  const std::size_t line = find(lines, hl, end);
  EXPECT_NE(line, std::string::npos) << hl;
  std::string points;
  for (int k = 0; k < 3; ++k) {
    points += std::to_string(px_of(px[k])) + " " + std::to_string(py_of(py[k])) + " ";
  }
  EXPECT_NE(find(lines, points + "3 pl", end), std::string::npos);
  EXPECT_NE(find(lines, "1.0000 0.0000 0.0000 fc", end), std::string::npos);
  EXPECT_NE(find(lines, points + "3 fa", end), std::string::npos);
  EXPECT_NE(find(lines, "(Slice \\(a\\)) " + std::to_string(px_of(10.0f)) + " " +
                            std::to_string(py_of(95.0f)) + " tx",
                 end),
            std::string::npos);

  // Cell array: operators once, row buffers, colour table, pixels (bottom row first).
  const std::size_t pixels = find(lines, "/pixel_string     3 string def  % String to hold line of pixels");
  ASSERT_NE(pixels, std::string::npos);
  EXPECT_NE(find(lines, "/colourtable 768 string def"), std::string::npos);
  EXPECT_EQ(lines[pixels + 2], "ct");
  const std::size_t pops = find(lines, "pop pop  % Remove status return from stack", pixels);
  ASSERT_NE(pops, std::string::npos);
  std::string table;
  for (std::size_t k = pixels + 3; k < pops; ++k) table += lines[k];
  EXPECT_EQ(table.size(), 1536u);
  const std::string image = lines[pops + 1];
  EXPECT_EQ(image.substr(image.size() - 7), " 3 2 ci");
  // Indices 49 + trunc(v * 202 / 5 + 0.5): 49, 89, 130 | 170, 211, 250.
  EXPECT_EQ(lines[pops + 2], "315982");
  EXPECT_EQ(lines[pops + 3], "AAD3FA");

  // Only one line-style line after the prologue, then the page end.
  EXPECT_EQ(std::count(lines.begin() + static_cast<long>(end), lines.end(), "   2 pt"), 1);
  const std::size_t showpage = find(lines, "showpage", end);
  ASSERT_NE(showpage, std::string::npos);
  EXPECT_EQ(lines[showpage + 1], "0.1 0.1 scale");
}

TEST_F(DvPostScript, LandscapeGreyClearClipAndInverseVideo) {
  open_ps(DV_TYPE_PS_LANDSCAPE_GREY);
  DV_FILLCOLOUR(45, status);  // blue: grey 0.11
  DV_CLEAR(status);
  DV_CLIPWINDOW(0.1f, 0.1f, 0.5f, 0.5f, status);
  DV_CLIP(true, status);
  DV_CLIP(false, status);
  const std::string out = captured_stdout([&] { DV_LINECOLOUR(-1, status); });
  EXPECT_EQ(out, "WARNING: The PostScript driver does not support inverse video\n");
  DV_UPDATE(2, 0, status);
  ASSERT_EQ(status, ST_OK);
  float w = 0, h = 0;
  DV_INQ_MAXPC(2, w, h, status);
  EXPECT_FLOAT_EQ(w, 1.0f);
  const std::vector<std::string> lines = close_and_read();
  EXPECT_EQ(lines[6], "/pl_g 0 def /pl_w   5 def /pl_t 0 def");
  EXPECT_EQ(lines[7], "/pm_g 0 def /pm_t 5 def /pm_s  52 def/pm_w   5 def");
  const std::size_t end = find(lines, "% End of prologue");
  ASSERT_NE(end, std::string::npos);
  EXPECT_EQ(lines[end - 1], "5871 0 translate 90 rotate");
  EXPECT_NE(find(lines, "0.1100 fc", end), std::string::npos);
  EXPECT_NE(find(lines, "180 230 5690 8100 ca", end), std::string::npos);
  EXPECT_NE(find(lines, "initclip", end), std::string::npos);
  bool clip = false;
  for (std::size_t k = end; k < lines.size(); ++k) {
    if (lines[k].size() > 3 && lines[k].substr(lines[k].size() - 3) == " cp") clip = true;
  }
  EXPECT_TRUE(clip);
  const std::size_t showpage = find(lines, "showpage", end);
  ASSERT_NE(showpage, std::string::npos);
  EXPECT_EQ(lines[showpage + 2], "5871 0 translate 90 rotate");
}

TEST_F(DvPostScript, SecondPostScriptWorkstationWarns) {
  open_ps(DV_TYPE_PS_PORTRAIT_COLOUR);
  const std::string out = captured_stdout([&] { DV_OPEN_WK(3, kUnit, 23, status); });
  EXPECT_EQ(out,
            "WARNING: Maximum number of PostScript workstations are already open (DV_OPEN_WK)\n");
  EXPECT_EQ(status, ST_OK);
  EXPECT_EQ(DV_DB_OPENWK.postscript, 1);
}

}  // namespace
