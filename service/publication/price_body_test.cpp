#include "service/publication/price_body.h"

#include <gtest/gtest.h>

#include "service/publication/publication_hand_ins.h"
#include "tests/test_env.h"

namespace velunor {
namespace {

const std::string kReference =
    "        <petrolStationReference targetClass=\"PetrolStation\"  id=\"x\" version=\"1\"/>";

void SetOverride(StationEntry& e, size_t slot, int closed, const std::string& start,
                 const std::string& end) {
  e.overrides[slot].active = 1;
  e.overrides[slot].closed = closed;
  e.overrides[slot].periodStart = start;
  e.overrides[slot].periodEnd = end;
}

TEST(PriceBodyTest, StationWithoutPricesOrPeriodsHasThreeLines) {
  StationEntry e;
  e.activeTime = 1;
  e.priceE10 = "";
  const std::vector<std::string> lines = PriceElement(e, kReference);
  EXPECT_EQ(lines, (std::vector<std::string>{"        <petrolStationInformation>", kReference,
                                             "        </petrolStationInformation>"}));
  SetOverride(e, 1, 0, "a", "b");
  const std::vector<std::string> with_period = PriceElement(e, kReference);
  ASSERT_EQ(with_period.size(), 7u);
  EXPECT_EQ(with_period[3],
            "                <startOfPeriod>a                        </startOfPeriod>")
      << "periods are written with all 25 characters";
}

TEST(PriceBodyTest, OnlyActiveStationsOfTheRangeGetAnElement) {
  testing::TestEnv t;
  DbState state(t.env);
  PublicationState pub;
  state.stammdaten.FirstStationNumber = 2;
  state.stammdaten.LastStationNumber = 4;
  for (long n = 1; n <= 5; ++n) {
    state.published.StationActive[static_cast<size_t>(n)] = n == 3 ? 0 : 1;
    pub.StationReference[static_cast<size_t>(n)] = "ref " + std::to_string(n);
    pub.PriceLineLast[static_cast<size_t>(n)] = 99;
    state.stations[n].priceE5 = " 1.500";
  }
  XML_Preisdaten(pub, state);
  EXPECT_EQ(pub.PriceLineLast[1], 99) << "outside the range nothing is touched";
  EXPECT_EQ(pub.PriceLineLast[2], 5);
  EXPECT_EQ(pub.PriceLineLast[3], 0) << "an inactive station has no element";
  EXPECT_EQ(pub.PriceLineLast[4], 5);
  EXPECT_EQ(pub.PriceLineLast[5], 99);
  EXPECT_EQ(pub.PriceLines.Line(4, 1), "ref 4");
  EXPECT_EQ(pub.PriceLines.Line(4, 3), "            <price>1.500</price>");
  EXPECT_EQ(pub.PriceLines.Line(4, 6), "") << "nothing after the last line";
  EXPECT_TRUE(t.ErrorLines().empty());

  // The highest number costs what any other does; a station that left the
  // station publication loses its element.
  state.stammdaten.LastStationNumber = static_cast<int32_t>(kMaxStationNumber);
  state.published.StationActive[kMaxStationNumber] = 1;
  state.stations[kMaxStationNumber].priceE5 = " 1.600";
  state.published.StationActive.Erase(4);
  XML_Preisdaten(pub, state);
  EXPECT_EQ(pub.PriceLines.Line(kMaxStationNumber, 3), "            <price>1.600</price>");
  EXPECT_EQ(pub.PriceLineLast.Find(4), nullptr);
  EXPECT_EQ(pub.PriceLines.Line(4, 1), "");
  EXPECT_EQ(pub.PriceLineLast.Get(5), 5);
  EXPECT_TRUE(t.ErrorLines().empty());
}

}  // namespace
}  // namespace velunor
