#include "service/core/station_ini.h"

#include <gtest/gtest.h>

namespace velunor {
namespace {

TEST(StationIniTest, OneValuePerLineAndQuotedOnOneLineGiveTheSameValues) {
  const StationIni lines = ParseStationIni("reserved\r\n dbhost:3307 \r\nlox\r\ngeheim\r\n");
  const StationIni quoted = ParseStationIni("\"reserved\",\"dbhost:3307\",\"lox\",\"geheim\"\r\n");
  for (const StationIni* ini : {&lines, &quoted}) {
    EXPECT_EQ(ini->values_read, 4);
    EXPECT_EQ(ini->IniFeld1, "reserved");
    EXPECT_EQ(ini->DbServer, "dbhost:3307") << "blanks around a value are dropped";
    EXPECT_EQ(ini->DbBenutzer, "lox");
    EXPECT_EQ(ini->DbPasswort, "geheim");
  }
}

TEST(StationIniTest, QuotesKeepCommasAndBlanksEmptyFieldsAndShortFiles) {
  StationIni ini = ParseStationIni("x,\" pass, word \",,\"p\"\n");
  EXPECT_EQ(ini.DbServer, " pass, word ");
  EXPECT_EQ(ini.DbBenutzer, "");
  EXPECT_EQ(ini.DbPasswort, "p");
  EXPECT_EQ(ini.values_read, 4);

  ini = ParseStationIni("reserved\n\nlox\n");
  EXPECT_EQ(ini.DbServer, "") << "an empty line is an empty value: the default connection";
  EXPECT_EQ(ini.DbBenutzer, "lox");
  EXPECT_EQ(ini.values_read, 3) << "a short file is reported";
  EXPECT_EQ(ini.DbPasswort, "");

  EXPECT_EQ(ParseStationIni("").values_read, 0);
  EXPECT_EQ(ParseStationIni("a\nb\nc\nd\ne\n").DbPasswort, "d") << "further values are ignored";
}

}  // namespace
}  // namespace velunor
