#include "service/db/station_table.h"

#include <gtest/gtest.h>

namespace velunor {
namespace {

TEST(StationTableTest, FixedWidthFieldsPadCutAndReadAsNumbers) {
  PriceText price;
  EXPECT_EQ(price.str(), "      ");
  EXPECT_TRUE(price.Blank());
  EXPECT_EQ(price.Number(), 0.0) << "a blank price never counts as a price to store";
  price = " 1.859";
  EXPECT_DOUBLE_EQ(price.Number(), 1.859);
  EXPECT_EQ(price.Trimmed(), "1.859");
  price = "1.85912345";
  EXPECT_EQ(price.str(), "1.8591") << "longer values keep their first 6 characters";
  TimeText time;
  time = "2026-12-06T09:05:00";
  EXPECT_EQ(time.str(), "2026-12-06T09:05:00      ");
}

TEST(StationTableTest, StationNumbersOutside0To1000AreErrors) {
  StationTable table;
  table[0].gridRow = 2;
  table[1000].pricesChanged = 1;
  EXPECT_EQ(table[0].gridRow, 2);
  EXPECT_EQ(table[1000].pricesChanged, 1);
  EXPECT_THROW(table[1001], Failure);
  EXPECT_THROW(table[-1], Failure);
  try {
    table[1001];
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), kErrSubscriptOutOfRange);
  }
}

}  // namespace
}  // namespace velunor
