#include "service/publication/station_body.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "tests/test_env.h"

namespace velunor {
namespace {

const std::array<std::string, 9> kDays = {"",          "monday",   "tuesday",
                                          "wednesday", "thursday", "friday",
                                          "saturday",  "sunday",   "publicHoliday"};

ResultSet Stations(std::vector<DbValue> row) {
  return ResultSet({"station", "status", "ps_id", "ps_version", "ps_version_time", "ps_name",
                    "ps_brand", "ps_street", "ps_housenumber", "ps_postcode", "ps_place",
                    "ps_latitude", "ps_longitude", "ps_federalstate"},
                   {std::move(row)});
}

std::vector<DbValue> OrdinaryStation() {
  return {"7",        "2",     "id-7",        "4",  "2026-12-01T10:00:00+01:00",
          " Müller ", "",      "Hauptstraße", "1a", "12345",
          "Ort",      "53,12", "9,5",         ""};
}

// Rows of mts_petrolstation_times: start, end, days, start2, end2.
ResultSet Times(const std::vector<std::array<DbValue, 5>>& rows) {
  std::vector<std::vector<DbValue>> data;
  int satz = 0;
  for (const auto& r : rows) {
    data.push_back({"7", std::to_string(++satz), "1", r[0], r[1], r[2], r[3], r[4]});
  }
  return ResultSet({"station", "satz", "ps_typ", "ps_starttime", "ps_endtime", "ps_wochentag",
                    "ps_starttime2", "ps_endtime2"},
                   std::move(data));
}

std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// The element inside a root that declares the xsi prefix, parsed strictly enough
// to notice a broken attribute or an unclosed element.
pugi::xml_parse_result Parse(pugi::xml_document& doc, const std::vector<std::string>& lines) {
  const std::string text =
      "<r xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n" + Join(lines) + "</r>\n";
  return doc.load_buffer(text.data(), text.size());
}

class StationBodyTest : public ::testing::Test {
 protected:
  testing::TestEnv t_;
  Procedure p_{t_.log, "XML_Stationsdaten"};
};

// The rows are the service's own; one an earlier version wrote with NULLs
// must not fail every start, which ends on any logged failure.
TEST_F(StationBodyTest, NullTextGivesAnEmptyElementWithoutFailure) {
  std::vector<DbValue> row = OrdinaryStation();
  row[5] = std::nullopt;   // ps_name
  row[11] = std::nullopt;  // ps_latitude
  const std::vector<std::string> lines = StationElement(Stations(row), 0, Times({}), kDays, p_);
  EXPECT_EQ(lines[2], "            <petrolStationName></petrolStationName>");
  EXPECT_EQ(lines[9], "                <latitude></latitude>");
  EXPECT_EQ(lines.back(), "        </petrolStation>");
  EXPECT_TRUE(t_.ErrorLines().empty());
}

TEST_F(StationBodyTest, IdentifierAndVersionAreEscapedInTheirAttributes) {
  std::vector<DbValue> row = OrdinaryStation();
  row[2] = std::string("a\"b&c<d' ");
  row[3] = std::string("1\"");
  const std::vector<std::string> lines = StationElement(Stations(row), 0, Times({}), kDays, p_);
  EXPECT_EQ(lines[0],
            "        <petrolStation id=\"a&quot;b&#38;c&lt;d&apos; \" version=\"1&quot;\">")
      << "escaped, not trimmed";
  EXPECT_EQ(StationReferenceLine("a\"b&c<d' ", "1\""),
            "        <petrolStationReference targetClass=\"PetrolStation\"  "
            "id=\"a&quot;b&#38;c&lt;d&apos; \" version=\"1&quot;\"/>");
  EXPECT_EQ(StationReferenceLine("x-1", "12"),
            "        <petrolStationReference targetClass=\"PetrolStation\"  id=\"x-1\" "
            "version=\"12\"/>")
      << "an ordinary identifier is unchanged";

  pugi::xml_document doc;
  ASSERT_TRUE(Parse(doc, lines));
  EXPECT_STREQ(doc.child("r").child("petrolStation").attribute("id").value(), "a\"b&c<d' ");
}

TEST_F(StationBodyTest, GroupsBeyond201LinesAreLeftOutWholeAndTheElementStaysComplete) {
  const std::array<DbValue, 5> big = {"06:00:00", "12:00:00", "11111111", "13:00:00", "20:00:00"};
  const std::array<DbValue, 5> small = {"06:00:00", "12:00:00", "", "", ""};
  std::vector<std::array<DbValue, 5>> rows(10, big);  // 20 lines each: the tenth does not fit
  rows.push_back(small);                              // 8 lines: exactly fills slot 200
  const std::vector<std::string> lines =
      StationElement(Stations(OrdinaryStation()), 0, Times(rows), kDays, p_);
  EXPECT_EQ(lines.size(), 201u) << "8 head lines, 9 x 20, 8, 5 closing lines";
  EXPECT_EQ(lines.back(), "        </petrolStation>");
  const std::vector<std::string> log = t_.ErrorLines();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("XML_Stationsdaten / 9 / "), std::string::npos) << log[0];
  EXPECT_NE(log[0].find("Station 7"), std::string::npos) << log[0];
  pugi::xml_document doc;
  EXPECT_TRUE(Parse(doc, lines));
}

}  // namespace
}  // namespace velunor
