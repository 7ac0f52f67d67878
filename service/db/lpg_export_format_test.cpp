#include "service/db/lpg_export_format.h"

#include <gtest/gtest.h>

#include "service/common/failure.h"

namespace velunor {
namespace {

LpgExportRow Row(std::string plzort) {
  return LpgExportRow{"4711",  "Gas Nord", "Hafenweg 2", std::move(plzort), "06.12.2026 07:45",
                      "0.899", "LPG"};
}

TEST(LpgExportFormatTest, PostcodeIsFiveCharactersAndTownTheTrimmedRest) {
  const auto plz_ort = [](const std::string& plzort) {
    const std::string line = LpgExportLine(Row(plzort));
    const size_t start = line.find("\"Hafenweg 2\";") + 13;
    return line.substr(start, line.find(";06.12.") - start);
  };
  EXPECT_EQ(plz_ort("12345   Bad Soden  "), "\"12345\";\"Bad Soden\"");
  EXPECT_EQ(plz_ort("12345"), "\"12345\";\"\"");
  EXPECT_EQ(plz_ort("1234"), "\"1234\";\"\"") << "shorter than 6 characters: empty town";
  EXPECT_EQ(plz_ort(""), "\"\";\"\"");
  // Umlauts count as one character each, before and after the split.
  EXPECT_EQ(plz_ort("Ö1234Köln"),
            "\"\xD6"
            "1234\";\"K\xF6ln\"");
}

TEST(LpgExportFormatTest, QuoteInsideAValueIsDoubledSoTheFieldCannotEndEarly) {
  EXPECT_EQ(LpgQuoted("Tank \"Zur Post\"; Ost"), "\"Tank \"\"Zur Post\"\"; Ost\"");
  EXPECT_EQ(LpgQuoted("\""), "\"\"\"\"");
  EXPECT_EQ(LpgQuoted(""), "\"\"");
}

TEST(LpgExportFormatTest, TemporaryNameReplacesTheLastThreeCharacters) {
  EXPECT_EQ(LpgTempFileName("C:\\LPG\\preise.csv"), "C:\\LPG\\preise.tmp");
  EXPECT_EQ(LpgTempFileName("/srv/lpg/preise.txt"), "/srv/lpg/preise.tmp");
  EXPECT_EQ(LpgTempFileName("abc"), "tmp");
  EXPECT_EQ(LpgTempFileName("preise.cäv"), "preise.tmp") << "an umlaut is one character";
  EXPECT_THROW(LpgTempFileName("ab"), Failure);
  EXPECT_THROW(LpgTempFileName(""), Failure);
}

}  // namespace
}  // namespace velunor
