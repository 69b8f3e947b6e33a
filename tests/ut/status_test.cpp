#include <gtest/gtest.h>

#include "ut.h"

TEST(Status, FirstRecordedPositionSurvives) {
  std::int32_t status;
  ST_DEF_SYSTEM(status);
  EXPECT_EQ(status, ST_OK);
  ST_SAVE("Subroutine A V0.1 ");
  ST_SAVE("Subroutine B V0.1 ");
  EXPECT_EQ(st_position().substr(0, 18), "Subroutine A V0.1 ");
  ST_DEF_SYSTEM(status);
  EXPECT_EQ(SLEN(st_position()), 0);
}

TEST(Format, FixedWidthFields) {
  EXPECT_EQ(ut_fmt_int(42, 5), "   42");
  EXPECT_EQ(ut_fmt_int(123456, 5), "*****");
  EXPECT_EQ(ut_fmt_real(3.14159, 8, 2), "    3.14");
  EXPECT_EQ(ut_fmt_real(-1234.5, 6, 2), "******");
}
