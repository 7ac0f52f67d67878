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

// Numbers are sparse and walked in ascending order; a negative number or one
// station more than the bound is an error that changes nothing.
TEST(StationTableTest, HoldsUpTo10000StationsOfAnyNumberInAscendingOrder) {
  StationTable table;
  table[kMaxStationNumber].hasMtsFuels = 1;
  table[60000].pricesChanged = 1;
  table[0].hasMtsFuels = 1;
  std::vector<long> order;
  for (const auto& [n, entry] : table) order.push_back(n);
  EXPECT_EQ(order, (std::vector<long>{0, 60000, kMaxStationNumber}));
  order.clear();
  for (const auto& [n, entry] : table.Range(1, 60000)) order.push_back(n);
  EXPECT_EQ(order, std::vector<long>{60000});
  EXPECT_TRUE(table.Range(7, 6).empty());
  EXPECT_EQ(table.Find(5), nullptr) << "a lookup makes no station";

  for (long n = 1; table.size() < kMaxStations; ++n) table[n * 7];
  EXPECT_NO_THROW(table[60000]) << "a station held already is found, not added";
  for (long beyond : {-1L, kMaxStationNumber + 1, 60001L}) {
    try {
      table[beyond];
      ADD_FAILURE() << beyond;
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), kErrSubscriptOutOfRange);
      EXPECT_EQ(f.description().rfind("Station " + std::to_string(beyond) + " ", 0), 0u)
          << f.description();
    }
  }
  EXPECT_EQ(table.size(), kMaxStations);
}

}  // namespace
}  // namespace velunor
