#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "../support/capture.h"
#include "ut.h"

namespace {
using test_support::captured_stdout;

// Fresh status system with POSITION recorded (blank: nothing recorded).
void start_with(std::string_view position) {
  std::int32_t status;
  ST_DEF_SYSTEM(status);
  if (!position.empty()) ST_SAVE(position);
}

std::string report(std::int32_t status) {
  return captured_stdout([&] { ST_OUT(status); });
}
}  // namespace

TEST(Status, FirstRecordedPositionSurvives) {
  std::int32_t status;
  ST_DEF_SYSTEM(status);
  EXPECT_EQ(status, ST_OK);
  EXPECT_EQ(st_position(), std::string(132, ' '));
  ST_SAVE("Subroutine A V0.1 ");
  ST_SAVE("Subroutine B V0.1 ");
  EXPECT_EQ(st_position(), "Subroutine A V0.1 " + std::string(114, ' '));

  // The convention's first step records nothing more once a failure is recorded.
  status = 11000;
  EXPECT_TRUE(st_bad(status, "Subroutine C V0.1 "));
  EXPECT_EQ(st_position().substr(0, 18), "Subroutine A V0.1 ");

  ST_DEF_SYSTEM(status);
  EXPECT_EQ(SLEN(st_position()), 0);
  ST_SAVE(std::string(140, 'x'));
  EXPECT_EQ(st_position(), std::string(132, 'x'));
  ST_DEF_SYSTEM(status);
}

TEST(Status, ErrorCode) {
  EXPECT_EQ(ST_ERRORCODE(181001), 1001);
  EXPECT_EQ(ST_ERRORCODE(11000), 1000);
  EXPECT_EQ(ST_ERRORCODE(-11000), 1000);
  EXPECT_EQ(ST_ERRORCODE(1016), 1016);
  EXPECT_EQ(ST_ERRORCODE(ST_ESCAPE), ST_ESCAPE);
  EXPECT_EQ(ST_ERRORCODE(ST_OK), ST_OK);
  EXPECT_EQ(ST_ERRORCODE(ST_SPECIAL_INPUT), ST_SPECIAL_INPUT);
  EXPECT_EQ(ST_ERRORCODE(INT32_MIN), 3648);
}

TEST(StatusReport, GoodStatus) {
  start_with("");
  EXPECT_EQ(report(ST_OK), "");

  start_with("Subroutine RAV_PARSE_LINE V0.11");
  EXPECT_EQ(report(ST_OK),
            " \n"
            "STATUS: The \"status\" value appears to be good, but an error position has\n"
            "been reported in:\n"
            "Subroutine RAV_PARSE_LINE V0.11\n"
            "This is probably due to incorrect calling arguments\n");
}

TEST(StatusReport, EscapeValue) {
  start_with("Subroutine X V0.1 ");
  EXPECT_EQ(report(ST_ESCAPE),
            " \nSTATUS: The \"status\" value is set to the user escape value\n");
}

TEST(StatusReport, KnownModuleAndKind) {
  start_with("Subroutine UT_WRITE_FILE V0.3 ");
  const std::string text = report(11010);
  EXPECT_EQ(text,
            " \n"
            "STATUS: The error was identified in module:\n"
            "UT: Input/Output and Status\n"
            " \n"
            "STATUS: Position where error condition was identified\n"
            "Subroutine UT_WRITE_FILE V0.3\n"
            " \n"
            "STATUS: The error condition has been classified as:\n"
            "Write to output file failed\n");
  // The report leaves the position alone.
  EXPECT_EQ(st_position().substr(0, 30), "Subroutine UT_WRITE_FILE V0.3 ");
}

TEST(StatusReport, UnknownKindGetsWarningLine) {
  start_with("Subroutine RAV_IN_ZELFA V0.4 ");
  EXPECT_EQ(report(1016),
            " \n"
            "STATUS: The error was identified in module:\n"
            "UNKNOWN:\n"
            " \n"
            "STATUS: Position where error condition was identified\n"
            "Subroutine RAV_IN_ZELFA V0.4\n"
            "WARNING: Unknown value for the status variable; value =           1016\n"
            " \n"
            "STATUS: The error condition has been classified as:\n"
            "Undefined error value\n");
}

TEST(StatusReport, NegativeCodeAndSpecialInput) {
  start_with("");
  EXPECT_EQ(report(-11000),
            " \n"
            "STATUS: The error was identified in module:\n"
            "UNKNOWN:\n"
            " \n"
            "STATUS: Position where error condition was identified\n"
            " \n"
            " \n"
            "STATUS: The error condition has been classified as:\n"
            "Failed to open file: (file not found or bad file name ?)\n");

  EXPECT_EQ(report(ST_SPECIAL_INPUT),
            " \n"
            "STATUS: The error was identified in module:\n"
            "UNKNOWN:\n"
            " \n"
            "STATUS: Position where error condition was identified\n"
            " \n"
            "WARNING: Unknown value for the status variable; value =    -2147483646\n"
            " \n"
            "STATUS: The error condition has been classified as:\n"
            "Undefined error value\n");
}

TEST(StatusReport, ModuleAndKindTexts) {
  start_with("Subroutine X V0.1 ");
  auto last_line = [](const std::string& text) {
    const std::size_t end = text.size() - 1;
    return text.substr(text.rfind('\n', end - 1) + 1, end - text.rfind('\n', end - 1) - 1);
  };
  auto module_line = [](const std::string& text) {
    const std::size_t start = text.find("module:\n") + 8;
    return text.substr(start, text.find('\n', start) - start);
  };
  EXPECT_EQ(module_line(report(181000)), "DAX: File Input/Output Module");
  EXPECT_EQ(module_line(report(130000 + 2001)), "DV: \"Divect Graphics\"");
  EXPECT_EQ(last_line(report(132001)), "Failed to open X-11 window (use \"xhost+\" on X-server ?)");
  EXPECT_EQ(module_line(report(140009)), "VU: \"Graphics System\"");
  EXPECT_EQ(module_line(report(20001)), "NU: Mathematics");
  EXPECT_EQ(module_line(report(9989999)), "SPECIAL: using standard status values");
  EXPECT_EQ(module_line(report(9990004)), "SPECIAL: using non-standard status values");
  EXPECT_EQ(module_line(report(5)), "UNKNOWN:");
  EXPECT_EQ(last_line(report(10004)), "Fourth or greater array dimension illegally defined");
  // Group 4 keeps its trailing blank in the table; the line drops it when printed.
  EXPECT_EQ(last_line(report(10016)),
            "Fourth of greater dimension: illegal relationship between two variables");
  EXPECT_EQ(last_line(report(10028)),
            "Fourth of greater dimension: number of elements is not a power of two");
  EXPECT_EQ(last_line(report(10040)), "Fourth or greater dimension external array limit exceeded");
  EXPECT_EQ(last_line(report(11005)), "Bad data in file input");
  EXPECT_EQ(last_line(report(19999)), "Other, undefined error (doesn't fit normal categories)");
  EXPECT_NE(report(10000).find("value =          10000\n"), std::string::npos);
  std::int32_t status;
  ST_DEF_SYSTEM(status);
}

TEST(Format, FixedWidthFields) {
  EXPECT_EQ(ut_fmt_int(42, 5), "   42");
  EXPECT_EQ(ut_fmt_int(-1234567, 8), "-1234567");
  EXPECT_EQ(ut_fmt_int(123456789, 8), "********");
  EXPECT_EQ(ut_fmt_real(3.14159, 8, 2), "    3.14");
  EXPECT_EQ(ut_fmt_real(-1234.5, 6, 2), "******");
  EXPECT_EQ(ut_fmt_real(0.005, 10, 2), "      0.01");
  EXPECT_EQ(ut_fmt_real(0.5, 4, 2), "0.50");
  EXPECT_EQ(ut_fmt_real(0.5, 3, 2), ".50");   // the optional zero gives way
  EXPECT_EQ(ut_fmt_real(-0.5, 4, 2), "-.50");
  EXPECT_EQ(ut_fmt_real(-0.5, 3, 2), "***");
  EXPECT_EQ(ut_fmt_real(2.0, 5, 0), "   2.");
  EXPECT_EQ(ut_fmt_real(1234567.0, 10, 2), "1234567.00");
  EXPECT_EQ(ut_fmt_real(12345678.0, 10, 2), "**********");
  EXPECT_EQ(ut_fmt_real(std::nan(""), 6, 2), "   NaN");
  EXPECT_EQ(ut_fmt_real(HUGE_VAL, 10, 2), "  Infinity");
  EXPECT_EQ(ut_fmt_real(-HUGE_VAL, 5, 2), " -Inf");
  EXPECT_EQ(ut_fmt_real(HUGE_VAL, 2, 2), "**");
}
