#include "service/common/date_time.h"

#include <gtest/gtest.h>

namespace velunor {
namespace {

TEST(DateTimeTest, WeekdaysAndDayArithmeticAcrossMonthYearAndLeapDay) {
  EXPECT_EQ(DayOfWeek({2026, 12, 6}), 0) << "6 Dec 2026 is a Sunday";
  EXPECT_EQ(DayOfWeek({2024, 2, 29}), 4) << "29 Feb 2024 is a Thursday";
  EXPECT_EQ(DayOfWeek({2000, 1, 1}), 6);
  EXPECT_EQ(AddDays({2024, 2, 28, 13, 1, 2}, 1), (DateTime{2024, 2, 29, 13, 1, 2}));
  EXPECT_EQ(AddDays({2023, 2, 28}, 1), (DateTime{2023, 3, 1}));
  EXPECT_EQ(AddDays({2026, 12, 31}, 1), (DateTime{2027, 1, 1}));
  EXPECT_EQ(AddDays({2027, 1, 1}, -1), (DateTime{2026, 12, 31}));
  EXPECT_TRUE(IsValid({2024, 2, 29}));
  EXPECT_FALSE(IsValid({2023, 2, 29}));
  EXPECT_FALSE(IsValid({2023, 4, 31}));
  EXPECT_FALSE(IsValid({2023, 1, 1, 24, 0, 0}));
  EXPECT_EQ(Pad(5, 2), "05");
  EXPECT_EQ(Pad(2026, 2), "2026");
}

}  // namespace
}  // namespace velunor
