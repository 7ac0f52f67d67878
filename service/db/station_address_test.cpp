#include "service/db/station_address.h"

#include <gtest/gtest.h>

#include "service/db/sql_statement.h"

namespace velunor {
namespace {

TEST(StationAddressTest, HouseNumberStartsAtTheFirstDigit) {
  struct Case {
    const char* strasse;
    const char* street;
    const char* housenumber;
  };
  for (const Case& c :
       {Case{"Am Markt 5 b", "Am Markt", "5 b"}, Case{"Hauptstr.12", "Hauptstr.", "12"},
        Case{"  Königsallee   12a ", "Königsallee", "12a"}, Case{"1. Weg 3", "", "1. Weg 3"},
        Case{" Marktplatz ", " Marktplatz ", ""}, Case{"", "", ""}}) {
    const StreetParts parts = SplitStreet(c.strasse);
    EXPECT_EQ(parts.street, c.street) << c.strasse;
    EXPECT_EQ(parts.housenumber, c.housenumber) << c.strasse;
  }
}

TEST(StationAddressTest, PostcodeIsTheFirstFiveCharactersNeverHalfALetter) {
  struct Case {
    const char* plzort;
    const char* postcode;
    const char* place;
  };
  for (const Case& c : {Case{"01067 Musterstadt", "01067", "Musterstadt"},
                        Case{"01067Musterstadt", "01067", "Musterstadt"}, Case{"0106", "0106", ""},
                        Case{"", "", ""}, Case{"Ölmühlendorf", "Ölmüh", "lendorf"},
                        Case{"79098  Freiburg im Breisgau ", "79098", "Freiburg im Breisgau"}}) {
    const PlaceParts parts = SplitPlzOrt(c.plzort);
    EXPECT_EQ(parts.postcode, c.postcode) << c.plzort;
    EXPECT_EQ(parts.place, c.place) << c.plzort;
  }
}

TEST(StationAddressTest, OnlyStatesOneToSixteenHaveAnIdentifier) {
  std::array<std::string, 17> ids;
  for (size_t n = 0; n < ids.size(); ++n) ids[n] = "DE-" + std::to_string(n);
  EXPECT_EQ(FederalStateIdentifier("1", ids), "DE-1");
  EXPECT_EQ(FederalStateIdentifier("16", ids), "DE-16");
  EXPECT_EQ(FederalStateIdentifier(" 9", ids), "DE-9");
  for (const DbValue& none : {DbValue("0"), DbValue("17"), DbValue(""), DbValue(std::nullopt),
                              DbValue("-3"), DbValue("x")}) {
    EXPECT_EQ(FederalStateIdentifier(none, ids), "") << none.value_or("NULL");
  }
}

TEST(StationAddressTest, BoundStatementShowsItsValuesForTheLog) {
  EXPECT_EQ(BoundStatementText("insert into t values( ?, ?, ? )", {"1", std::nullopt, "O'Neil"}),
            "insert into t values( '1', NULL, 'O'Neil' )");
  EXPECT_EQ(BoundStatementText("select ?", {}), "select ?");
}

}  // namespace
}  // namespace velunor
