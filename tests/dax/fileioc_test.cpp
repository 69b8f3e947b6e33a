// The raw file layer and its status-checked openers.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../support/files.h"
#include "dax.h"
#include "ut.h"

namespace fs = std::filesystem;

namespace {

// A fresh directory under the system's temporary directory, removed afterwards; every test
// starts with both slots closed and the handle table as at program start.
class RawFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test_support::test_directory("dax_raw");
    close_all();
    dax_file_table = DaxFileTable{};
  }
  void TearDown() override {
    close_all();
    fs::remove_all(dir_);
  }
  static void close_all() {
    std::int32_t retstat = 0;
    if (dax_file_table.ut_file_in_open) DAX_FILECLOSEC(dax_file_table.ut_file_in_id, retstat);
    if (dax_file_table.ut_file_out_open) DAX_FILECLOSEC(dax_file_table.ut_file_out_id, retstat);
  }
  std::string make(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  std::vector<std::uint8_t> contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  fs::path dir_;
};

std::vector<std::uint8_t> counting(std::size_t n) {
  std::vector<std::uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i + 1);
  return bytes;
}

TEST_F(RawFiles, SlotsOpenOnceAndKeepTheirIdentifier) {
  const std::string a = make("a", counting(10));
  const std::string b = make("b", counting(20));
  std::int32_t retstat = -1, id = 0;

  // Before the first open the input identifier is -1, so 1 names no slot yet.
  DAX_FILECLOSEC(1, retstat);
  EXPECT_EQ(retstat, 1);

  DAX_FILEOPENC(a.c_str(), DAX_MODE_READ, retstat, id);
  EXPECT_EQ(retstat, 0);
  EXPECT_EQ(id, 1);
  std::int32_t second_id = 77;
  DAX_FILEOPENC(b.c_str(), DAX_MODE_READ_ASCII, retstat, second_id);
  EXPECT_EQ(retstat, 2);
  EXPECT_EQ(second_id, 77);

  // The first file is still the open one.
  std::vector<std::uint8_t> buffer(10);
  std::int64_t nread = 0;
  DAX_FILEREADC(1, 10, 0, retstat, nread, buffer);
  EXPECT_EQ(retstat, 0);
  EXPECT_EQ(buffer, counting(10));

  // The output slot is independent of the input slot.
  const std::string out = (dir_ / "out").string();
  DAX_FILEOPENC(out.c_str(), DAX_MODE_WRITE, retstat, id);
  EXPECT_EQ(retstat, 0);
  EXPECT_EQ(id, 2);

  DAX_FILECLOSEC(1, retstat);
  EXPECT_EQ(retstat, 0);
  DAX_FILECLOSEC(1, retstat);
  EXPECT_EQ(retstat, 2);
  EXPECT_EQ(dax_file_table.ut_file_in_id, 1);
  DAX_FILEOPENC(b.c_str(), DAX_MODE_READ, retstat, id);
  EXPECT_EQ(retstat, 0);
  EXPECT_EQ(id, 1);

  DAX_FILECLOSEC(3, retstat);
  EXPECT_EQ(retstat, 1);
  DAX_FILECLOSEC(2, retstat);
  EXPECT_EQ(retstat, 0);
}

TEST_F(RawFiles, OpenFailures) {
  std::int32_t retstat = -1, id = 0;
  const std::string a = make("a", counting(4));
  DAX_FILEOPENC(a.c_str(), 0, retstat, id);
  EXPECT_EQ(retstat, 1);
  DAX_FILEOPENC(a.c_str(), 5, retstat, id);
  EXPECT_EQ(retstat, 1);
  const std::string missing = (dir_ / "missing").string();
  DAX_FILEOPENC(missing.c_str(), DAX_MODE_READ, retstat, id);
  EXPECT_EQ(retstat, 3);
  EXPECT_EQ(dax_file_table.ut_file_in_open, 0);
  const std::string no_dir = (dir_ / "no" / "such").string();
  DAX_FILEOPENC(no_dir.c_str(), DAX_MODE_WRITE_ASCII, retstat, id);
  EXPECT_EQ(retstat, 3);
  EXPECT_EQ(dax_file_table.ut_file_out_open, 0);
}

TEST_F(RawFiles, ReadsReportShortReadsAndBadRequests) {
  const std::string path = make("a", counting(1124));
  std::int32_t retstat = -1, id = 0;
  std::vector<std::uint8_t> buffer(1024);
  std::int64_t nread = -1;

  DAX_FILEOPENC(path.c_str(), DAX_MODE_READ, retstat, id);
  DAX_FILECLOSEC(id, retstat);
  ::testing::internal::CaptureStdout();
  DAX_FILEREADC(1, 16, 0, retstat, nread, buffer);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "WARNING: Input file is not open\n");
  EXPECT_EQ(retstat, 2);

  DAX_FILEOPENC(path.c_str(), DAX_MODE_READ, retstat, id);
  ASSERT_EQ(retstat, 0);
  DAX_FILEREADC(id, 1025, 0, retstat, nread, buffer);
  EXPECT_EQ(retstat, 1);
  DAX_FILEREADC(2, 16, 0, retstat, nread, buffer);
  EXPECT_EQ(retstat, 1);

  DAX_FILEREADC(id, 1024, 0, retstat, nread, buffer);
  EXPECT_EQ(retstat, 0);
  EXPECT_EQ(nread, 1024);
  ::testing::internal::CaptureStdout();
  DAX_FILEREADC(id, 1024, 0, retstat, nread, buffer);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "WARNING: 100 bytes input instead of 1024 requested\n");
  EXPECT_EQ(retstat, 5);
  EXPECT_EQ(nread, 100);
  EXPECT_EQ(buffer[0], static_cast<std::uint8_t>(1025));
}

TEST_F(RawFiles, PositionedReadsAreQuietAndTakeLargeOffsets) {
  const std::string path = make("a", counting(64));
  std::int32_t retstat = -1, id = 0;
  std::vector<std::uint8_t> buffer(16);
  std::int64_t nread = -1;

  DAX_FILEOPENC(path.c_str(), DAX_MODE_READ, retstat, id);
  DAX_FILECLOSEC(id, retstat);
  ::testing::internal::CaptureStdout();
  DAX_FILEPREADC(1, 0, 4, 0, retstat, nread, buffer);
  EXPECT_EQ(retstat, 2);
  DAX_FILEOPENC(path.c_str(), DAX_MODE_READ, retstat, id);
  DAX_FILEPREADC(id, 60, 8, 0, retstat, nread, buffer);
  EXPECT_EQ(retstat, 5);
  EXPECT_EQ(nread, 4);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");

  DAX_FILEPREADC(id, 10, 4, 2, retstat, nread, buffer);
  EXPECT_EQ(retstat, 0);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + 4),
            (std::vector<std::uint8_t>{14, 13, 12, 11}));

  // Positioning alone, beyond the end and beyond 32 bits, succeeds.
  nread = -1;
  DAX_FILEPREADC(id, 1000, 0, 0, retstat, nread, buffer);
  EXPECT_EQ(retstat, 0);
  EXPECT_EQ(nread, 0);
  DAX_FILEPREADC(id, std::int64_t{5} << 32, 0, 0, retstat, nread, buffer);
  EXPECT_EQ(retstat, 0);
  DAX_FILEPREADC(id, -1, 0, 0, retstat, nread, buffer);
  EXPECT_EQ(retstat, 4);
}

TEST_F(RawFiles, SwapCodesSwapWholeUnitsOnly) {
  const std::string path = make("a", counting(6));
  std::int32_t retstat = -1, id = 0;
  std::vector<std::uint8_t> buffer(6);
  std::int64_t nread = 0;
  DAX_FILEOPENC(path.c_str(), DAX_MODE_READ, retstat, id);
  DAX_FILEPREADC(id, 0, 6, 2, retstat, nread, buffer);
  EXPECT_EQ(buffer, (std::vector<std::uint8_t>{4, 3, 2, 1, 5, 6}));
  DAX_FILEPREADC(id, 0, 5, 1, retstat, nread, buffer);
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + 5),
            (std::vector<std::uint8_t>{2, 1, 4, 3, 5}));
  DAX_FILEPREADC(id, 0, 6, 0, retstat, nread, buffer);
  EXPECT_EQ(buffer, counting(6));
}

TEST_F(RawFiles, TextLines) {
  const std::string text = "abc\n\nlonger line\nx";
  const std::string path = make("t", std::vector<std::uint8_t>(text.begin(), text.end()));
  std::int32_t retstat = -1, id = 0;
  char line[8];
  std::memset(line, 'z', sizeof line);
  DAX_FILEOPENC(path.c_str(), DAX_MODE_READ_ASCII, retstat, id);
  DAX_FILECLOSEC(id, retstat);
  ::testing::internal::CaptureStdout();
  DAX_ASCIIREADC(1, 8, retstat, line);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "WARNING: Input file is not open\n");
  EXPECT_EQ(retstat, 2);

  DAX_FILEOPENC(path.c_str(), DAX_MODE_READ_ASCII, retstat, id);
  DAX_ASCIIREADC(id, 8, retstat, line);
  EXPECT_EQ(retstat, 0);
  EXPECT_STREQ(line, "abc\n");
  for (int i = 4; i < 8; ++i) EXPECT_EQ(line[i], '\0');
  DAX_ASCIIREADC(id, 8, retstat, line);
  EXPECT_STREQ(line, " ");  // a line holding only its line end
  DAX_ASCIIREADC(id, 8, retstat, line);
  EXPECT_STREQ(line, "longer ");  // at most MAXLEN - 1 characters
  DAX_ASCIIREADC(id, 8, retstat, line);
  EXPECT_STREQ(line, "line\n");
  DAX_ASCIIREADC(id, 8, retstat, line);
  EXPECT_STREQ(line, "x");  // a last line without its line end keeps its character
  DAX_ASCIIREADC(id, 8, retstat, line);
  EXPECT_EQ(retstat, 3);
  DAX_ASCIIREADC(2, 8, retstat, line);
  EXPECT_EQ(retstat, 1);
}

TEST_F(RawFiles, WritesSwapTheCallersBuffer) {
  const std::string path = (dir_ / "w").string();
  std::int32_t retstat = -1, id = 0;
  std::int64_t written = -1;
  std::vector<std::uint8_t> bytes = counting(6);

  DAX_FILEWRITEC(2, 6, 0, bytes, retstat, written);
  EXPECT_EQ(retstat, 1);  // no output opened yet: 2 is nobody's identifier
  DAX_FILEOPENC(path.c_str(), DAX_MODE_WRITE, retstat, id);
  DAX_FILEWRITEC(id, 7, 0, bytes, retstat, written);
  EXPECT_EQ(retstat, 1);
  DAX_FILEWRITEC(id, 6, 1, bytes, retstat, written);
  EXPECT_EQ(retstat, 0);
  EXPECT_EQ(written, 6);
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{2, 1, 4, 3, 6, 5}));
  // A wrong identifier still swaps first.
  DAX_FILEWRITEC(1, 4, 2, bytes, retstat, written);
  EXPECT_EQ(retstat, 1);
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{3, 4, 1, 2, 6, 5}));

  const std::vector<float> values{1.5f, -2.0f, 3.25f};
  DAX_FILEWREALC(id, 4, values, retstat, written);
  EXPECT_EQ(retstat, 1);
  DAX_FILEWREALC(id, 3, values, retstat, written);
  EXPECT_EQ(retstat, 0);
  EXPECT_EQ(written, 3);
  DAX_FILECLOSEC(id, retstat);
  EXPECT_EQ(retstat, 0);
  DAX_FILEWREALC(id, 3, values, retstat, written);
  EXPECT_EQ(retstat, 2);
  DAX_FILEWRITEC(id, 2, 0, bytes, retstat, written);
  EXPECT_EQ(retstat, 2);

  std::vector<std::uint8_t> expected{2, 1, 4, 3, 6, 5};
  const auto* raw = reinterpret_cast<const std::uint8_t*>(values.data());
  expected.insert(expected.end(), raw, raw + 12);
  EXPECT_EQ(contents(path), expected);
}

TEST_F(RawFiles, LostWritesAreReported) {
  // /dev/full takes the bytes into the stream's buffer and fails when they are flushed.
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  std::int32_t retstat = -1, id = 0;
  std::int64_t written = 0;
  DAX_FILEOPENC("/dev/full", DAX_MODE_WRITE, retstat, id);
  ASSERT_EQ(retstat, 0);
  std::vector<std::uint8_t> small = counting(10);
  DAX_FILEWRITEC(id, 10, 0, small, retstat, written);
  EXPECT_EQ(retstat, 0);
  DAX_FILECLOSEC(id, retstat);
  EXPECT_EQ(retstat, 3);
  EXPECT_EQ(dax_file_table.ut_file_out_open, 0);

  DAX_FILEOPENC("/dev/full", DAX_MODE_WRITE, retstat, id);
  std::vector<std::uint8_t> large(1 << 20);
  ::testing::internal::CaptureStdout();
  DAX_FILEWRITEC(id, static_cast<std::int64_t>(large.size()), 0, large, retstat, written);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "dax_filewritec: errno = 28\n");
  EXPECT_EQ(retstat, 3);
  std::vector<float> values(1 << 18);
  ::testing::internal::CaptureStdout();
  DAX_FILEWREALC(id, static_cast<std::int64_t>(values.size()), values, retstat, written);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "ERROR: dax_filewrealc: errno = 28\n");
  EXPECT_EQ(retstat, 3);
}

TEST_F(RawFiles, StatusCheckedOpen) {
  const std::string path = make("image file", counting(4));
  std::int32_t status = ST_OK, retstat = -1, id = 0;

  DAX_FILEOPEN(path + "   ", "READ  ", retstat, id, status);
  EXPECT_EQ(status, ST_OK);
  EXPECT_EQ(retstat, 0);
  EXPECT_EQ(id, 1);
  DAX_FILEOPEN(path, "READ", retstat, id, status);
  EXPECT_EQ(status, ST_OK);
  EXPECT_EQ(retstat, 2);  // only RETSTAT reports the occupied slot
  DAX_FILECLOSEC(id, retstat);

  DAX_FILEOPEN((dir_ / "missing").string(), "READ", retstat, id, status);
  EXPECT_EQ(status, ST_OK);
  EXPECT_EQ(retstat, 3);

  ST_DEF_SYSTEM(status);
  DAX_FILEOPEN(path, "Read", retstat, id, status);
  EXPECT_EQ(status, 180017);
  EXPECT_EQ(st_position().substr(0, 29), "Subroutine DAX_FILEOPEN V0.3 ");
  ST_DEF_SYSTEM(status);
  DAX_FILEOPEN("    ", "READ", retstat, id, status);
  EXPECT_EQ(status, 180033);
  ST_DEF_SYSTEM(status);

  // A name longer than 255 characters opens that very file.
  fs::path deep = dir_;
  for (int i = 0; i < 6; ++i) deep /= std::string(50, static_cast<char>('a' + i));
  fs::create_directories(deep);
  const std::string long_name = (deep / "file").string();
  ASSERT_GT(long_name.size(), 300u);
  DAX_FILEOPEN(long_name, "WRITE", retstat, id, status);
  EXPECT_EQ(retstat, 0);
  DAX_FILECLOSEC(id, retstat);
  EXPECT_TRUE(fs::exists(long_name));

  // The unprompted opener passes the open's result on.
  std::string name = (dir_ / "missing").string();
  DAX_OPENFILE(false, "READ", name, retstat, id, status);
  EXPECT_EQ(status, ST_OK);
  EXPECT_EQ(retstat, 3);
  name = path;
  DAX_OPENFILE(false, "READ", name, retstat, id, status);
  EXPECT_EQ(retstat, 0);
  EXPECT_EQ(id, 1);
}

}  // namespace

namespace {

TEST_F(RawFiles, PromptedOpenAsksAgainUntilAFileOpens) {
  const std::string good = make("good", counting(4));
  const std::string missing = (dir_ / "missing").string();
  const std::string answers = make("answers", {});
  std::ofstream(answers) << "?\n\n  " << good << "\n";
  ASSERT_NE(std::freopen(answers.c_str(), "r", stdin), nullptr);

  std::int32_t status = ST_OK, retstat = -1, id = 0;
  std::string name = missing;
  ::testing::internal::CaptureStdout();
  DAX_OPENFILE(true, "READ", name, retstat, id, status);
  const std::string printed = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(status, ST_OK);
  EXPECT_EQ(retstat, 0);
  EXPECT_EQ(name, good);
  EXPECT_EQ(printed.rfind("FILE NAME [" + missing + "]:", 0), 0u);
  EXPECT_NE(printed.find("Enter Name of file\n"), std::string::npos);
  EXPECT_NE(printed.find("Error in opening file, Please retype name\n"), std::string::npos);
  DAX_FILECLOSEC(id, retstat);

  // The end of the input is an escape.
  ::testing::internal::CaptureStdout();
  DAX_OPENFILE(true, "READ", name, retstat, id, status);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(retstat, 1);
  EXPECT_EQ(dax_file_table.ut_file_in_open, 0);
  std::freopen("/dev/null", "r", stdin);
}

}  // namespace
