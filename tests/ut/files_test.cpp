// Console lines, text files on units, path translation.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "../support/capture.h"
#include "../support/files.h"
#include "ut.h"

namespace {
using test_support::captured_stdout;
using test_support::read_text;

class Files : public testing::Test {
 protected:
  void SetUp() override {
    ST_DEF_SYSTEM(status);
    dir = test_support::test_directory("ut_files");
  }
  void TearDown() override {
    std::int32_t ok = ST_OK;
    for (int unit = 1; unit <= 99; ++unit) UT_CLOSE_ASCIIFILE(unit, ok);
    ut_io_state().output_log = false;
    std::filesystem::remove_all(dir);
    ST_DEF_SYSTEM(status);
  }
  std::int32_t status = ST_OK;
  std::filesystem::path dir;
};
}  // namespace

TEST(Messages, ConsoleLines) {
  std::int32_t status;
  ST_DEF_SYSTEM(status);
  EXPECT_EQ(captured_stdout([&] { UT_WRITE(std::string("   \0\t", 5), status); }), " \n");
  std::string buffer = "INFO: twenty chars !";
  buffer.resize(132, ' ');
  EXPECT_EQ(captured_stdout([&] { UT_WRITE(buffer, status); }), "INFO: twenty chars !\n");
  EXPECT_EQ(captured_stdout([&] { UT_WRITE("       indented\t\t\r\n", status); }),
            "       indented\n");
  EXPECT_EQ(captured_stdout([&] { UT_WRITENA("   ", status); }), "");
  EXPECT_EQ(captured_stdout([&] { UT_WRITENA("Answer: ", status); }), "Answer:");
  EXPECT_EQ(status, ST_OK);
}

TEST(Messages, BadStatusPrintsNothing) {
  std::int32_t status;
  ST_DEF_SYSTEM(status);
  status = 11000;
  EXPECT_EQ(captured_stdout([&] {
              UT_WRITE("hidden", status);
              UT_WRITENA("hidden", status);
            }),
            "");
  EXPECT_EQ(status, 11000);
  EXPECT_EQ(st_position().substr(0, 26), "Subroutine UT_WRITE V0.1  ");
  ST_DEF_SYSTEM(status);
}

TEST_F(Files, WriteThenReadLines) {
  const std::string name = (dir / "lines.txt").string();
  std::int32_t retstat = -1;
  UT_OPEN_ASCIIFILE(false, "WRITE", 10, name, retstat, status);
  ASSERT_EQ(retstat, 0);
  UT_WRITE_FILE(10, "NUM_X =      128   ", status);
  UT_WRITE_FILE(10, "", status);
  UT_WRITENA_FILE(10, "  no end ", status);
  UT_WRITENA_FILE(10, "   ", status);
  UT_WRITE_FILE(10, "x", status);
  UT_CLOSE_ASCIIFILE(10, status);
  ASSERT_EQ(status, ST_OK);
  EXPECT_EQ(read_text(name), "NUM_X =      128\n \n  no endx\n");

  UT_OPEN_ASCIIFILE(false, "read", 12, name, retstat, status);
  ASSERT_EQ(retstat, 0);
  std::string line;
  UT_READ_ASCIILINE(12, line, retstat, status);
  EXPECT_EQ(retstat, 0);
  EXPECT_EQ(line, "NUM_X =      128");
  UT_READ_ASCIILINE(12, line, retstat, status);
  EXPECT_EQ(line, " ");
  UT_READ_ASCIILINE(12, line, retstat, status);
  EXPECT_EQ(line, "  no endx");
  UT_READ_ASCIILINE(12, line, retstat, status);
  EXPECT_EQ(retstat, 1);
  UT_CLOSE_ASCIIFILE(12, status);
  UT_READ_ASCIILINE(12, line, retstat, status);
  EXPECT_EQ(retstat, 2);
  EXPECT_EQ(status, ST_OK);
}

TEST_F(Files, OpenModes) {
  const std::string name = (dir / "modes.txt").string();
  std::int32_t retstat = -1;
  UT_OPEN_ASCIIFILE(false, "READ", 12, name, retstat, status);
  EXPECT_EQ(retstat, 1) << "READ needs an existing file";
  UT_OPEN_ASCIIFILE(false, "UPDATE", 12, name, retstat, status);
  EXPECT_EQ(retstat, 1);
  EXPECT_FALSE(std::filesystem::exists(name));

  std::ofstream(name) << "old first line\nold second line\nold third line\n";
  UT_OPEN_ASCIIFILE(false, "WRITE", 10, name, retstat, status);
  ASSERT_EQ(retstat, 0);
  UT_WRITE_FILE(10, "new", status);
  UT_CLOSE_ASCIIFILE(10, status);
  EXPECT_EQ(read_text(name), "new\n") << "the lines written are the whole content";

  std::ofstream(name, std::ios::binary) << "windows line\r\nlast line without end";
  UT_OPEN_ASCIIFILE(false, "READ", 12, name, retstat, status);
  std::string line;
  UT_READ_ASCIILINE(12, line, retstat, status);
  EXPECT_EQ(line, "windows line");
  UT_READ_ASCIILINE(12, line, retstat, status);
  EXPECT_EQ(retstat, 0);
  EXPECT_EQ(line, "last line without end");

  UT_OPEN_ASCIIFILE(false, "READ", 13, dir.string(), retstat, status);
  EXPECT_EQ(retstat, 1) << "a directory is no text file";
  UT_OPEN_ASCIIFILE(false, "READ", 13, "   ", retstat, status);
  EXPECT_EQ(retstat, 1);
  EXPECT_EQ(status, ST_OK);

  UT_OPEN_ASCIIFILE(false, "READ", 100, name, retstat, status);
  EXPECT_EQ(status, 10017);
  EXPECT_EQ(st_position().substr(0, 35), "Subroutine UT_OPEN_ASCIIFILE V0.7  ");
  ST_DEF_SYSTEM(status);
  UT_OPEN_ASCIIFILE(false, "READ", 0, name, retstat, status);
  EXPECT_EQ(status, 10017);
}

TEST_F(Files, WriteFailureIsReported) {
  std::int32_t retstat = -1;
  UT_OPEN_ASCIIFILE(false, "WRITE", 17, "/dev/full", retstat, status);
  ASSERT_EQ(retstat, 0);
  const std::string text =
      captured_stdout([&] { UT_WRITE_FILE(17, "% End of PostScript file", status); });
  EXPECT_EQ(text,
            "ERROR: Failed to output ASCII text to an output file. May be you do not\n"
            "       have write permission, or the file system, or your quota, are full.\n"
            " \n"
            "       I/O status return value (IOSTAT) =       28\n"
            "       (This value is system dependent; see system documentation.)\n"
            " \n");
  EXPECT_EQ(status, 11010);
  EXPECT_EQ(st_position().substr(0, 31), "Subroutine UT_WRITE_FILE V0.3  ");

  // A unit with no file open cannot be written either.
  ST_DEF_SYSTEM(status);
  const std::string unopened = captured_stdout([&] { UT_WRITE_FILE(55, "x", status); });
  EXPECT_NE(unopened.find("(IOSTAT) =        9\n"), std::string::npos);
  EXPECT_EQ(status, 11010);
}

TEST_F(Files, OutputLogCopiesConsoleLines) {
  const std::string name = (dir / "log.txt").string();
  std::int32_t retstat = -1;
  UT_OPEN_ASCIIFILE(false, "WRITE", 40, name, retstat, status);
  ASSERT_EQ(retstat, 0);
  ut_io_state().output_log = true;
  const std::string text = captured_stdout([&] {
    UT_WRITE("INFO: logged   ", status);
    UT_WRITENA("Prompt: ", status);
  });
  UT_CLOSE_ASCIIFILE(40, status);
  EXPECT_EQ(text, "INFO: logged\nPrompt:");
  EXPECT_EQ(read_text(name), "INFO: logged\nPrompt:");
}

TEST_F(Files, PathTranslation) {
  std::int32_t retstat = -1;
  std::string out = "unchanged";
  UT_TRANS_PATH("   relative/name.txt  ", retstat, out, status);
  EXPECT_EQ(retstat, 0);
  EXPECT_EQ(out, "relative/name.txt");

  const std::string home = UT_HOMEDIR("", status);
  ASSERT_FALSE(home.empty());
  UT_TRANS_PATH("~/scan/par.txt", retstat, out, status);
  EXPECT_EQ(retstat, 0);
  EXPECT_EQ(out, (std::filesystem::path(home) / "scan/par.txt").string());
  UT_TRANS_PATH("~", retstat, out, status);
  EXPECT_EQ(out, home);

  const std::string me = UT_LOGINNAME(status);
  ASSERT_NE(me, "*** UNKNOWN ***");
  UT_TRANS_PATH("~" + me + "/x", retstat, out, status);
  EXPECT_EQ(out, (std::filesystem::path(home) / "x").string());
  std::string path;
  UT_USERPATH("", retstat, path, status);
  EXPECT_EQ(path, home);

  out = "kept";
  const std::string text = captured_stdout(
      [&] { UT_TRANS_PATH("~no_such_user_zq9/x", retstat, out, status); });
  EXPECT_EQ(text, "WARNING: Problem obtaining home directory information\n");
  EXPECT_NE(retstat, 0);
  EXPECT_EQ(out, "kept");
  EXPECT_EQ(UT_HOMEDIR("no_such_user_zq9", status), "");

  const std::string opened = captured_stdout([&] {
    UT_OPEN_ASCIIFILE(false, "READ", 12, "~no_such_user_zq9/x", retstat, status);
  });
  EXPECT_EQ(opened,
            "WARNING: Problem obtaining home directory information\n"
            "WARNING: Problem translating:\n"
            "~no_such_user_zq9/x\n");
  EXPECT_EQ(retstat, 1);
  EXPECT_EQ(status, ST_OK);
}
