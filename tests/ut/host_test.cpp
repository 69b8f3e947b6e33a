// File names, command line, times, memory and the other host services; real-to-text.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ut.h"

// Lets the allocation-failure case below return null under AddressSanitizer too.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

namespace {
std::string filename(std::string_view prefix, std::int32_t number, bool fixed, std::int32_t width,
                     std::string_view suffix, bool& overflow, std::int32_t& status) {
  std::string name = "previous";
  UT_FILENAME(prefix, number, fixed, width, suffix, overflow, name, status);
  return name;
}

struct Vtoc {
  bool fits = false;
  std::string text;
  std::int32_t status = ST_OK;
};

Vtoc vtoc(float value, int max_chars, int decimals, bool point, bool trim, bool exponent,
          std::string before = "") {
  Vtoc v;
  v.text = std::move(before);
  UT_VTOC(value, max_chars, decimals, point, trim, exponent, v.fits, v.text, v.status);
  return v;
}

}  // namespace

TEST(FileNames, NumberedNames) {
  std::int32_t status = ST_OK;
  bool overflow = true;
  EXPECT_EQ(filename("proj_", 37, true, 4, ".zlf", overflow, status), "proj_0037.zlf");
  EXPECT_FALSE(overflow);
  EXPECT_EQ(filename("proj_", 37, false, 4, ".zlf", overflow, status), "proj_37.zlf");
  EXPECT_EQ(filename("proj_   ", 0, true, 3, ".zlf  ", overflow, status), "proj_000.zlf");
  EXPECT_EQ(filename("   ", 0, true, 3, ".zlf", overflow, status), "000.zlf");
  EXPECT_EQ(filename("flat", 5, true, 0, ".zlf", overflow, status), "flat.zlf");
  EXPECT_EQ(filename("p", -5, true, 4, "", overflow, status), "p00-5");
  EXPECT_EQ(filename("/data/scan/p", 9999, true, 4, ".zlf", overflow, status),
            "/data/scan/p9999.zlf");
  EXPECT_EQ(status, ST_OK);

  overflow = false;
  EXPECT_EQ(filename("proj_", 12345, true, 4, ".zlf", overflow, status), "previous");
  EXPECT_TRUE(overflow);
  EXPECT_EQ(status, ST_OK);

  ST_DEF_SYSTEM(status);
  filename("p", 1, true, -1, "", overflow, status);
  EXPECT_EQ(status, 10017);
  EXPECT_EQ(st_position().substr(0, 29), "Subroutine UT_FILENAME V0.2  ");
  ST_DEF_SYSTEM(status);
}

TEST(CommandLine, Counts) {
  std::int32_t status = ST_OK;
  std::int32_t num_args = -1;
  std::vector<std::string> args;

  const char* one[] = {"rav_vuzav", "scan.par"};
  ut_set_command_line(2, one);
  UT_GETARGS(10, num_args, args, status);
  EXPECT_EQ(num_args, 2);
  ASSERT_EQ(args.size(), 10u);
  EXPECT_EQ(args[0], "rav_vuzav");
  EXPECT_EQ(args[1], "scan.par");
  EXPECT_EQ(args[2], "");

  args = {"stale", "stale"};
  UT_GETARGS(1, num_args, args, status);
  EXPECT_EQ(num_args, 2) << "the count does not stop at MAX_ARGS";
  ASSERT_EQ(args.size(), 1u);
  EXPECT_EQ(args[0], "rav_vuzav");

  const char* none[] = {"rav_vuzav"};
  ut_set_command_line(1, none);
  UT_GETARGS(10, num_args, args, status);
  EXPECT_EQ(num_args, 1);
  EXPECT_EQ(status, ST_OK);

  UT_GETARGS(0, num_args, args, status);
  EXPECT_EQ(status, 10001);
  ST_DEF_SYSTEM(status);

  // Without a command line handed over, the process's own is used.
  ut_set_command_line(0, nullptr);
  UT_GETARGS(3, num_args, args, status);
  EXPECT_GE(num_args, 1);
  EXPECT_NE(args[0].find("test_ut"), std::string::npos);
}

TEST(Times, ElapsedTimeCountsFractionsOfASecondFromTheFirstCall) {
  // A phase of a tenth of a second is a tenth of a second (not 0 or 1 of a clock counting whole
  // seconds), and the clock's origin is the first call.
  std::int32_t status = ST_OK;
  double now = 86399.95;  // just before midnight, where a time of day would start again at 0
  ut_set_elapsed_clock([&] { return now; });
  float elapsed_1 = -1.0f, cpu_1 = -1.0f;
  UT_TIMES(elapsed_1, cpu_1, status);
  EXPECT_EQ(elapsed_1, 0.0f);
  EXPECT_GE(cpu_1, 0.0f);
  now += 0.1;
  float elapsed_2 = -1.0f, cpu_2 = -1.0f;
  UT_TIMES(elapsed_2, cpu_2, status);
  EXPECT_NEAR(elapsed_2 - elapsed_1, 0.1f, 1e-5f);
  EXPECT_GE(cpu_2, cpu_1);
  EXPECT_EQ(status, ST_OK);

  // The real clock never goes backwards.
  ut_set_elapsed_clock({});
  UT_TIMES(elapsed_1, cpu_1, status);
  UT_TIMES(elapsed_2, cpu_2, status);
  EXPECT_GE(elapsed_1, 0.0f);
  EXPECT_GE(elapsed_2, elapsed_1);
}

TEST(HostServices, SmallRoutines) {
  std::int32_t status = ST_OK;
  std::int32_t a = 3;
  std::int32_t b = 5;
  UT_ISWAP(a, b, status);
  EXPECT_EQ(a, 5);
  EXPECT_EQ(b, 3);

  EXPECT_FALSE(UT_BIG_ENDIAN(status));  // x86-64 and little-endian ARM
  std::int32_t bad = 11000;
  EXPECT_FALSE(UT_BIG_ENDIAN(bad));     // answers whatever the status
  EXPECT_EQ(bad, 11000);

  std::int32_t bytes = 0;
  UT_RECL(bytes, status);
  EXPECT_EQ(bytes, 1);
  std::string system;
  std::string machine;
  UT_SYSTEM_NAME(system, machine, status);
  EXPECT_EQ(system, "LINUX");
  EXPECT_EQ(machine, "PC");

  UT_SLEEP(0.0015f, status);
  UT_SLEEP(-1.0f, status);
  EXPECT_EQ(status, ST_OK);

  EXPECT_NE(UT_LOGINNAME(status), "");
}

TEST(HostServices, Memory) {
  std::int32_t status = ST_OK;
  void* block = nullptr;
  UT_MALLOC(1000, block, status);
  ASSERT_EQ(status, ST_OK);
  ASSERT_NE(block, nullptr);
  static_cast<char*>(block)[999] = 1;
  UT_FREE(block, status);
  EXPECT_EQ(status, ST_OK);

  ST_DEF_SYSTEM(status);
  block = nullptr;
  UT_MALLOC(0, block, status);
  EXPECT_EQ(status, 10017);
  EXPECT_EQ(block, nullptr);

  ST_DEF_SYSTEM(status);
  UT_MALLOC(std::int64_t{1} << 62, block, status);
  EXPECT_EQ(status, 11002);
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(st_position().substr(0, 27), "Subroutine UT_MALLOC V0.1  ");
  ST_DEF_SYSTEM(status);
}

TEST(RealToText, FixedForm) {
  // MAX_CHARS 5, DECIMALS 4, no point, trimmed zeros, no exponent.
  EXPECT_EQ(vtoc(0.5f, 5, 4, false, true, false).text, "0.5");
  EXPECT_EQ(vtoc(0.0f, 5, 4, false, true, false).text, "0");
  EXPECT_EQ(vtoc(0.12346f, 5, 4, false, true, false).text, "0.1235");
  EXPECT_EQ(vtoc(0.12345f, 5, 4, false, true, false).text, "0.1234");
  EXPECT_EQ(vtoc(-0.00001f, 5, 4, false, true, false).text, "0");

  EXPECT_EQ(vtoc(3.14159f, 8, 2, true, false, true).text, "3.14");
  EXPECT_EQ(vtoc(-0.001f, 8, 2, true, false, false).text, "0.00");
  EXPECT_EQ(vtoc(20.0f, 8, 2, true, true, true).text, "20.");
  EXPECT_EQ(vtoc(20.0f, 8, 2, false, true, true).text, "20");
  EXPECT_EQ(vtoc(2.5f, 5, 0, false, false, false).text, "2");   // an exact half goes to zero
  EXPECT_EQ(vtoc(-2.5f, 5, 0, false, false, false).text, "-2");
  EXPECT_EQ(vtoc(2.6f, 5, 0, false, false, false).text, "3");
  EXPECT_EQ(vtoc(1500.0f, 4, 0, false, true, true).text, "1500");
  const Vtoc wide = vtoc(123456.0f, 3, 0, false, true, false);  // no exponent allowed: any width
  EXPECT_TRUE(wide.fits);
  EXPECT_EQ(wide.text, "123456");
}

TEST(RealToText, ExponentialFormAndChecks) {
  Vtoc v = vtoc(123456.0f, 5, 2, true, true, true);
  EXPECT_TRUE(v.fits);
  EXPECT_EQ(v.text, "1.23E5");
  EXPECT_EQ(vtoc(0.00012f, 8, 2, true, false, true).text, "1.20E-4");
  EXPECT_EQ(vtoc(-0.00012f, 8, 2, true, true, true).text, "-1.2E-4");
  EXPECT_EQ(vtoc(99999600000.0f, 8, 2, true, false, true).text, "1.00E11");  // rounding carries
  EXPECT_EQ(vtoc(2e10f, 8, 2, true, true, true).text, "2.E10");

  EXPECT_EQ(vtoc(std::nanf(""), 8, 2, true, true, true).text, "NaN");
  EXPECT_EQ(vtoc(-HUGE_VALF, 8, 2, true, true, true).text, "-Inf");

  v = vtoc(1e20f, 4, 2, true, true, true, ".5");
  EXPECT_FALSE(v.fits);
  EXPECT_EQ(v.text, "0.5") << "the previous text stays, cleaned up";
  EXPECT_EQ(v.status, ST_OK);

  std::int32_t status;
  ST_DEF_SYSTEM(status);
  EXPECT_EQ(vtoc(1.0f, 0, 0, false, false, false).status, 10017);
  EXPECT_EQ(vtoc(1.0f, 5, -1, false, false, false).status, 10017);
  EXPECT_EQ(vtoc(1.0f, 5, 6, false, false, false).status, 10013);
  EXPECT_EQ(st_position().substr(0, 24), "Subroutine UT_VTOC V0.6 ");
  ST_DEF_SYSTEM(status);

  EXPECT_EQ(UT_RTOC(0.0f), "0.0");
  EXPECT_EQ(UT_RTOC(1234.0f), "1234.0");
  EXPECT_EQ(UT_RTOC(0.25f), "0.25");
  EXPECT_EQ(UT_RTOC(1.5e-12f), "1.5E-12");
}
