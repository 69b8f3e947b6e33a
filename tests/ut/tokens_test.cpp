#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "ut.h"

namespace {
struct Split {
  bool all_stored = false;
  std::int32_t num_tokens = -1;
  std::vector<std::string> tokens;
  std::int32_t status = ST_OK;
};

Split split(std::string_view line, std::int32_t max_tokens) {
  Split s;
  UT_TOKENS(line, max_tokens, s.all_stored, s.num_tokens, s.tokens, s.status);
  return s;
}

bool toktr(std::string_view token, float& value) {
  std::int32_t status = ST_OK;
  bool ok = false;
  UT_TOKTR(token, ok, value, status);
  EXPECT_EQ(status, ST_OK);
  return ok;
}

bool tokti(std::string_view token, std::int32_t& value) {
  std::int32_t status = ST_OK;
  bool ok = false;
  UT_TOKTI(token, ok, value, status);
  EXPECT_EQ(status, ST_OK);
  return ok;
}

bool toktl(std::string_view token, bool& value) {
  std::int32_t status = ST_OK;
  bool ok = false;
  UT_TOKTL(token, ok, value, status);
  return ok;
}
}  // namespace

TEST(TextToolkit, SignificantLengthAndStart) {
  EXPECT_EQ(SLEN(std::string("abc\t\t\0\0 \r\n", 11)), 3);
  EXPECT_EQ(SLEN("      "), 0);
  EXPECT_EQ(SLEN(""), 0);
  EXPECT_EQ(SLEN("  a b "), 5);
  EXPECT_EQ(UT_START("      "), -1);
  EXPECT_EQ(UT_START(std::string(" \0 x", 4)), 4);
  EXPECT_EQ(UT_START("\tx"), 1);  // a tab is significant here
}

TEST(TextToolkit, CaseAndIntegerText) {
  EXPECT_EQ(UT_UPPER("n.a.  "), "N.A.");
  EXPECT_EQ(UT_UPPER("mixed Case_09 \xc3\xa9"), "MIXED CASE_09 \xc3\xa9");
  EXPECT_EQ(UT_LOWER("ABC def "), "abc def");
  EXPECT_EQ(UT_ITOC(0), "0");
  EXPECT_EQ(UT_ITOC(-12), "-12");
  EXPECT_EQ(UT_ITOC(INT32_MAX), "2147483647");
  EXPECT_EQ(UT_ITOC(INT32_MIN), "-2147483648");
  EXPECT_EQ(UT_LTOC(true), ".TRUE.");
  EXPECT_EQ(UT_LTOC(false), ".FALSE.");
}

TEST(Tokens, RunsOfSeparatorsAreOneGap) {
  Split s = split("a,, b\tc", 10);
  ASSERT_EQ(s.num_tokens, 3);
  EXPECT_TRUE(s.all_stored);
  EXPECT_EQ(s.tokens[0], "a");
  EXPECT_EQ(s.tokens[1], "b");
  EXPECT_EQ(s.tokens[2], "c");
  EXPECT_EQ(s.tokens.size(), 10u);

  s = split(",a,", 10);
  ASSERT_EQ(s.num_tokens, 1);
  EXPECT_EQ(s.tokens[0], "a");

  s = split("   \t  ", 10);
  EXPECT_EQ(s.num_tokens, 0);
  EXPECT_TRUE(s.all_stored);

  s = split("KEY = value  \r\n", 10);  // a Windows line end does not stick to the last token
  ASSERT_EQ(s.num_tokens, 3);
  EXPECT_EQ(s.tokens[2], "value");
}

TEST(Tokens, MoreTokensThanRoomAndLongTokens) {
  Split s = split("1 2 3 4 5", 4);
  EXPECT_EQ(s.num_tokens, 4);
  EXPECT_FALSE(s.all_stored);
  EXPECT_EQ(s.tokens[3], "4");

  s = split("x " + std::string(200, 'v') + " y", 10);
  ASSERT_EQ(s.num_tokens, 3);
  EXPECT_EQ(s.tokens[1], std::string(132, 'v'));
  EXPECT_EQ(s.tokens[2], "y");

  std::int32_t status;
  ST_DEF_SYSTEM(status);
  s = split("a", 0);
  EXPECT_EQ(s.status, 10001);
  EXPECT_EQ(st_position().substr(0, 27), "Subroutine UT_TOKENS V0.2  ");
  ST_DEF_SYSTEM(status);
}

TEST(Tokens, IntegerTokens) {
  std::int32_t value = 99;
  EXPECT_TRUE(tokti("12", value));
  EXPECT_EQ(value, 12);
  EXPECT_TRUE(tokti("+7", value));
  EXPECT_EQ(value, 7);
  EXPECT_TRUE(tokti("  -2147483648  ", value));
  EXPECT_EQ(value, INT32_MIN);
  value = 99;
  for (const char* bad : {"1.0", "1e3", "abc", "+", "-", "2147483648", "12x", "", "   "}) {
    EXPECT_FALSE(tokti(bad, value)) << bad;
  }
  EXPECT_EQ(value, 99) << "a failed conversion leaves the value alone";
}

TEST(Tokens, RealTokens) {
  float value = 0.0f;
  EXPECT_TRUE(toktr("3", value));
  EXPECT_FLOAT_EQ(value, 3.0f);
  EXPECT_TRUE(toktr("2.5", value));
  EXPECT_FLOAT_EQ(value, 2.5f);
  EXPECT_TRUE(toktr("-3", value));
  EXPECT_FLOAT_EQ(value, -3.0f);
  EXPECT_TRUE(toktr("1e-3", value));
  EXPECT_FLOAT_EQ(value, 0.001f);
  EXPECT_TRUE(toktr("1.5*10^3", value));
  EXPECT_FLOAT_EQ(value, 1500.0f);
  EXPECT_TRUE(toktr("2*10**-2", value));
  EXPECT_FLOAT_EQ(value, 0.02f);
  EXPECT_TRUE(toktr("25%", value));
  EXPECT_FLOAT_EQ(value, 0.25f);
  EXPECT_TRUE(toktr("50%", value));
  EXPECT_FLOAT_EQ(value, 0.5f);
  EXPECT_TRUE(toktr("PI", value));
  EXPECT_FLOAT_EQ(value, 3.1415926f);
  EXPECT_TRUE(toktr("pi%", value));
  EXPECT_FLOAT_EQ(value, 0.031415926f);
  EXPECT_TRUE(toktr("3.5d0", value));
  EXPECT_FLOAT_EQ(value, 3.5f);
  EXPECT_TRUE(toktr("1.5+2", value));  // exponent written as a signed number after the digits
  EXPECT_FLOAT_EQ(value, 150.0f);
  EXPECT_TRUE(toktr("-.5", value));
  EXPECT_FLOAT_EQ(value, -0.5f);
  EXPECT_TRUE(toktr("7.", value));
  EXPECT_FLOAT_EQ(value, 7.0f);
  EXPECT_TRUE(toktr("0.123456789012345678", value));  // wide field: read in double, rounded
  EXPECT_FLOAT_EQ(value, 0.12345679f);

  // An E or *10^ at the end leaves no exponent: the mantissa alone is read.
  EXPECT_TRUE(toktr("1e", value));
  EXPECT_FLOAT_EQ(value, 1.0f);
  EXPECT_TRUE(toktr("2*10^", value));
  EXPECT_FLOAT_EQ(value, 2.0f);

  value = 42.0f;
  for (const char* bad : {"abc", "E5", "1.2.3", ".", "", "1.5*2", "1e99", "nan",
                          "inf", "1.0x", "%"}) {
    EXPECT_FALSE(toktr(bad, value)) << bad;
  }
  EXPECT_FLOAT_EQ(value, 42.0f);
}

TEST(Tokens, OverlongRealTokensDoNotConvert) {
  float value = 42.0f;
  // Needs the second path and is longer than its 30-character work buffer.
  EXPECT_FALSE(toktr(std::string(31, '1'), value));
  EXPECT_TRUE(toktr(std::string(19, '1'), value));
  EXPECT_FALSE(toktr(std::string(20, '1'), value));  // no room for the appended point
  // A mantissa of more than 20 characters (the appended point counts).
  EXPECT_FALSE(toktr(std::string(20, '1') + "e2", value));
  EXPECT_TRUE(toktr(std::string(19, '1') + "e2", value));
  // An exponent of more than 20 characters.
  EXPECT_FALSE(toktr("1e" + std::string(21, '0'), value));
  // With a point the plain read comes first and has no such limit.
  EXPECT_TRUE(toktr("1." + std::string(40, '0'), value));
  EXPECT_FLOAT_EQ(value, 1.0f);
}

TEST(Tokens, LogicalTokens) {
  bool value = false;
  for (const char* yes : {"oui", "1", "ya", ".true.", "T", "\"yes\"", "y", "YES", "true"}) {
    value = false;
    EXPECT_TRUE(toktl(yes, value)) << yes;
    EXPECT_TRUE(value) << yes;
  }
  for (const char* no : {"no", "0", "nein", ".FALSE.", "f", "\"NO\"", "non", "N", "False"}) {
    value = true;
    EXPECT_TRUE(toktl(no, value)) << no;
    EXPECT_FALSE(value) << no;
  }
  value = true;
  for (const char* bad : {"maybe", "", "yes please!", "  yes"}) {
    EXPECT_FALSE(toktl(bad, value)) << bad;
  }
  EXPECT_TRUE(value);
}

TEST(Tokens, BadStatusOnEntryDoesNothing) {
  std::int32_t status;
  ST_DEF_SYSTEM(status);
  status = 11000;
  bool ok = true;
  std::int32_t ivalue = 5;
  UT_TOKTI("12", ok, ivalue, status);
  EXPECT_TRUE(ok);
  EXPECT_EQ(ivalue, 5);
  EXPECT_EQ(status, 11000);
  EXPECT_EQ(st_position().substr(0, 26), "Subroutine UT_TOKTI V0.6 " + std::string(1, ' '));
  ST_DEF_SYSTEM(status);
}
