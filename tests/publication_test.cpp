// Both publication documents built from the private MariaDB: exact bytes
// against hand-written golden files, the publication numbers, the files and
// the failure paths. Every document must parse as well-formed XML.
#include <gtest/gtest.h>

#include <algorithm>
#include <pugixml.hpp>

#include "service/publication/publication_hand_ins.h"
#include "service/publication/station_body.h"
#include "tests/db_test.h"
#include "tests/expect_text.h"
#include "tests/received_publication.h"

namespace velunor {
namespace {

std::string Golden(const std::string& name) {
  return testing::ReadFile(testing::SourceRoot() / "tests" / "golden" / name);
}

// Parses the document; fails the test with pugixml's reason when it is not well-formed.
void ExpectWellFormed(const std::string& xml, pugi::xml_document& doc) {
  const pugi::xml_parse_result result = doc.load_buffer(xml.data(), xml.size());
  EXPECT_TRUE(result) << result.description() << " at byte " << result.offset << " of\n" << xml;
  EXPECT_STREQ(doc.document_element().name(), "d2LogicalModel");
}

size_t Count(const pugi::xml_document& doc, const char* element) {
  return doc.select_nodes((std::string("//") + element).c_str()).size();
}

class PublicationTest : public testing::DbTest {
 protected:
  void Init(const std::string& station_number, const std::string& price_number) {
    Sql("insert into stammdaten values (133, '" + station_number + "'), (134, '" + price_number +
        "')");
    t_.db.stammdaten.StationPublicationNumber = station_number;
    t_.db.stammdaten.PricePublicationNumber = price_number;
    t_.db.stammdaten.ReporterName = "Müller & Söhne";
    XML_Init(pub_, t_.db);
  }
  // The small data set of the golden files.
  void SeedGoldenStations() {
    Sql("insert into mts_petrolstation values "
        "(1, 2, 'a1b2c3d4-0001', 3, '2026-12-01T10:15:00+01:00', 'Tankstelle Müller & Söhne ', "
        "'Jößl', 'Hauptstraße', '12a', '20095', ' Hamburg ', '53,5511', '9.9937', 'DE-HH'), "
        "(2, 2, 'a1b2c3d4-0002', 17, '2026-11-30T08:00:00+01:00', 'Autohof An der B ''Ost''', "
        "'', 'Lindenallee', '7-9', '01067', 'Dresden', '51,0504', '13,7373', ''), "
        "(3, 0, 'a1b2c3d4-0003', 5, '2026-10-01T12:00:00+02:00', 'Stillgelegt', 'X', "
        "'Weg', '2', '10115', 'Berlin', '52.52', '13.40', 'DE-BE'), "
        "(5, 2, 'a1b2c3d4-0005', 1, '2026-12-06T09:00:00+01:00', 'Rasthof Überlingen \"Süd\"', "
        "'Q1 <Partner>', 'Seestraße', '1', '88662', 'Überlingen', '47.7667', '9.1583', 'DE-BW')");
    Sql("insert into mts_petrolstation_times values "
        "(2, 2, 1, '08:00:00', '18:00:00', '0000011', '09:00:00', NULL), "
        "(1, 1, 1, '06:00:00', '22:00:00', '11111001', '', ''), "
        "(2, 1, 1, '06:00:00', '12:00:00', '11111000', '14:00:00', '20:00:00'), "
        "(3, 1, 1, '00:00:00', '00:00:00', '11111111', '', '')");
  }
  void SeedGoldenPrices() {
    StationEntry& s1 = t_.db.stations[1];
    s1.activeTime = 1;
    s1.priceE5 = " 1.859";
    s1.priceTimeE5 = "2026-12-06T08:00:00+01:00";
    s1.priceE10 = " 1.799";
    s1.priceTimeE10 = "2026-12-06T08:01:00+01:00";
    s1.priceDiesel = " 1.659";
    s1.priceTimeDiesel = "2026-12-06T08:02:00+01:00";
    s1.overrides[1] =
        testing::OverridePeriod(1, "2026-12-24T14:00:00+01:00", "2026-12-26T06:00:00+01:00");

    StationEntry& s2 = t_.db.stations[2];
    s2.activeTime = 0;
    s2.priceE5 = " 1.899";
    s2.priceTimeE5 = "2026-12-06T07:00:00+01:00";
    s2.priceE10 = "0.0";
    s2.priceDiesel = " 1.699";
    s2.priceTimeDiesel = "2026-12-06T07:30:00+01:00";
    s2.overrides[1] =
        testing::OverridePeriod(0, "2026-12-24T06:00:00+01:00", "2026-12-24T14:00:00+01:00");
    s2.overrides[2] =
        testing::OverridePeriod(1, "2026-12-25T00:00:00+01:00", "2026-12-26T00:00:00+01:00");
    s2.overrides[4] = {1, 1, {}, {}};  // after a free slot: never published

    t_.db.stations[3].priceE5 = " 1.555";  // deactivated station
    StationEntry& s5 = t_.db.stations[5];
    s5.activeTime = 1;
    s5.priceE10 = " 1.749";  // without a time
  }

  PublicationState pub_;
};

TEST_F(PublicationTest, BothDocumentsMatchTheGoldenFilesByteForByte) {
  Init("2026-41", "2025-388");
  SeedGoldenStations();
  SeedGoldenPrices();

  XML_Stationsdaten(pub_, t_.db);
  EXPECT_EQ(t_.db.stammdaten.FirstStationNumber, 1);
  EXPECT_EQ(t_.db.stammdaten.LastStationNumber, 5);
  EXPECT_EQ(t_.db.published.StationActive[3], 0) << "status 0 is not reported";
  EXPECT_GT(t_.db.published.StationLineLast[3], 0) << "but its lines are built all the same";
  XML_Out_Station(pub_, t_.db);

  const std::string golden_g = Golden("MTS_G.xml");
  ASSERT_FALSE(golden_g.empty()) << "tests/golden/MTS_G.xml not found";
  EXPECT_EQ(t_.dir.Read("MTS_G.xml"), golden_g);
  EXPECT_EQ(pub_.PublicationXml + "\r\n", golden_g)
      << "the document ends with one CR LF, the file with one more";
  EXPECT_EQ(One("select value from stammdaten where id = 133"), "2026-42");
  EXPECT_EQ(t_.window.label1(1), "G-2026-42 am: 06.12.2026 09:05:00");
  pugi::xml_document doc;
  ExpectWellFormed(pub_.PublicationXml, doc);
  EXPECT_EQ(Count(doc, "petrolStation"), 3u);

  XML_Preisdaten(pub_, t_.db);
  XML_Out_Preise(pub_, t_.db);
  const std::string golden_p = Golden("MTS_P.xml");
  EXPECT_EQ(t_.dir.Read("MTS_P.xml"), golden_p);
  EXPECT_EQ(pub_.PublicationXml + "\r\n", golden_p);
  EXPECT_EQ(One("select value from stammdaten where id = 134"), "2026-1");
  EXPECT_EQ(t_.window.label1(3), "P-2026-1 am: 06.12.2026 09:05:00");
  ExpectWellFormed(pub_.PublicationXml, doc);
  EXPECT_EQ(Count(doc, "petrolStationInformation"), 3u);
  EXPECT_EQ(t_.dir.Read("MTS_G.xml"), golden_g) << "the station file stays as it was";

  EXPECT_TRUE(t_.ErrorLines().empty()) << t_.ErrorLines().front();
}

TEST_F(PublicationTest, NumbersAdvanceWithEveryDocumentAndAreStoredBeforeSending) {
  Init("2026-999998", "");
  XML_Stationsdaten(pub_, t_.db);
  XML_Out_Station(pub_, t_.db);
  EXPECT_TRUE(Contains(pub_.PublicationXml, "id=\"G-2026-999999\""));
  XML_Out_Station(pub_, t_.db);
  EXPECT_TRUE(Contains(pub_.PublicationXml, "id=\"G-2026-0\""))
      << "after 999999 comes 0, even though nothing was acknowledged";
  EXPECT_EQ(One("select value from stammdaten where id = 133"), "2026-0");
  XML_Preisdaten(pub_, t_.db);
  XML_Out_Preise(pub_, t_.db);
  EXPECT_EQ(One("select value from stammdaten where id = 134"), "2026-1")
      << "an empty number starts the year";

  t_.clock.Set(DateTime{2027, 1, 1, 0, 0, 5});
  XML_Out_Station(pub_, t_.db);
  EXPECT_EQ(t_.db.stammdaten.StationPublicationNumber, "2027-1");
  EXPECT_EQ(One("select value from stammdaten where id = 133"), "2027-1");
  EXPECT_EQ(t_.window.label1(1), "G-2027-1 am: 01.01.2027 00:00:05");
  EXPECT_TRUE(t_.ErrorLines().empty());
}

TEST_F(PublicationTest, WithoutStationsBothDocumentsAreTheirFramesOnly) {
  Init("2026-1", "2026-1");
  XML_Stationsdaten(pub_, t_.db);
  EXPECT_EQ(t_.db.stammdaten.FirstStationNumber, 2147483647);
  EXPECT_EQ(t_.db.stammdaten.LastStationNumber, 0);
  XML_Out_Station(pub_, t_.db);
  const std::string& g = pub_.PublicationXml;
  EXPECT_EQ(std::count(g.begin(), g.end(), '\n'), 11) << g;
  const std::string end =
      "PetrolStationPublication</genericPublicationName>\r\n    </payloadPublication>\r\n"
      "</d2LogicalModel>\r\n";
  ASSERT_GT(g.size(), end.size());
  EXPECT_EQ(g.substr(g.size() - end.size()), end) << g;
  pugi::xml_document doc;
  ExpectWellFormed(g, doc);

  XML_Preisdaten(pub_, t_.db);
  XML_Out_Preise(pub_, t_.db);
  const std::string& p = pub_.PublicationXml;
  EXPECT_EQ(std::count(p.begin(), p.end(), '\n'), 11) << p;
  EXPECT_TRUE(Contains(p,
                       "\r\nxsi:schemaLocation=\"http://www.mdm-portal.de/schema/01-01-00 "
                       "FuelPricePublication_v01-01-00.xsd\""));
  ExpectWellFormed(p, doc);
  EXPECT_EQ(t_.dir.Read("MTS_P.xml"), p + "\r\n");
}

TEST_F(PublicationTest, ANumberThatCannotBeStoredOrAFileThatCannotBeWrittenStillGivesTheDocument) {
  Init("2026-7", "2026-7");
  SeedGoldenStations();
  XML_Stationsdaten(pub_, t_.db);
  t_.db.DbVerbindung.reset();  // the connection is lost
  t_.env.program_dir = t_.dir.path() / "missing" / "folder";
  XML_Out_Station(pub_, t_.db);

  EXPECT_TRUE(Contains(pub_.PublicationXml, "id=\"G-2026-8\""));
  EXPECT_TRUE(Contains(pub_.PublicationXml, "</d2LogicalModel>\r\n"));
  pugi::xml_document doc;
  ExpectWellFormed(pub_.PublicationXml, doc);
  EXPECT_EQ(Count(doc, "petrolStation"), 3u);
  EXPECT_EQ(t_.window.label1(1), "G-2026-8 am: 06.12.2026 09:05:00");
  const std::vector<std::string> log = t_.ErrorLines();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].substr(20),
            "--> XML_Out_Station / -2147467259 / Keine Verbindung zur Datenbank / replace into "
            "stammdaten ( id, value ) values ( 133, '2026-8' )");
  EXPECT_TRUE(Contains(log[1], "--> XML_Out_Station / 75 / "));
  EXPECT_EQ(t_.log.LetzterFehler(), -2147467259) << "the scheduler must notice the lost connection";
}

TEST_F(PublicationTest, HostileAndOutOfRangeDataStillGiveWellFormedDocuments) {
  Init("2026-1", "2026-1");
  Sql("insert into mts_petrolstation values "
      "(0, 2, 'zero', 1, 't', 'n', 'b', 's', 'h', 'p', 'o', '1', '2', ''), "
      "(4, 2, 'x\" y=\"1&2<3', 2, 't', 'A&B <C> \"D\" ''E''', 'b', 's', 'h', 'p', 'o', "
      "'1', '2', 'DE-&'), "
      "(6, 2, 'null-texts', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL), "
      "(-5, 2, 'below-zero', 1, 't', 'n', 'b', 's', 'h', 'p', 'o', '1', '2', '')");
  std::string times = "insert into mts_petrolstation_times values ";
  for (int satz = 1; satz <= 12; ++satz) {
    times += (satz == 1 ? "(" : ", (") + std::string("4, ") + std::to_string(satz) +
             ", 1, '06:00:00', '12:00:00', '11111111', '13:00:00', '20:00:00')";
  }
  Sql(times);
  t_.db.stations[4].priceE5 = " 1.500";
  t_.db.stations[6].priceE5 = " 1.600";

  XML_Stationsdaten(pub_, t_.db);
  EXPECT_EQ(t_.db.stammdaten.FirstStationNumber, 1) << "station 0 is never published";
  EXPECT_EQ(t_.db.stammdaten.LastStationNumber, 6);
  XML_Out_Station(pub_, t_.db);
  pugi::xml_document doc;
  ExpectWellFormed(pub_.PublicationXml, doc);
  EXPECT_EQ(Count(doc, "petrolStation"), 2u) << "stations 4 and 6";
  EXPECT_EQ(Count(doc, "openingTimes"), 9u) << "groups beyond 201 lines are left out whole";
  const pugi::xml_node station4 = doc.select_node("//petrolStation[1]").node();
  EXPECT_STREQ(station4.attribute("id").value(), "x\" y=\"1&2<3");
  EXPECT_STREQ(station4.child_value("petrolStationName"), "A&B <C> \"D\" 'E'");

  XML_Preisdaten(pub_, t_.db);
  XML_Out_Preise(pub_, t_.db);
  ExpectWellFormed(pub_.PublicationXml, doc);
  EXPECT_EQ(Count(doc, "petrolStationInformation"), 2u);
  EXPECT_STREQ(doc.select_node("//petrolStationReference").node().attribute("id").value(),
               "x\" y=\"1&2<3");

  // Station -5: one entry; station 4: three groups left out. Station 6's
  // NULL texts are empty elements, not failures: the row is the service's own.
  const std::vector<std::string> log = t_.ErrorLines();
  EXPECT_EQ(testing::LinesWith(log, "Station -5 liegt außerhalb von 0 bis 2147483647"), 1u);
  EXPECT_EQ(testing::LinesWith(log, "/ 94 /"), 0u);
  EXPECT_EQ(testing::LinesWith(log, "Station 4 "), 3u);
}

// Texts XML 1.0 cannot carry, from the upstream tables or damaged by hand in
// stammdaten: the documents stay well-formed for a strict parser, and each
// mended text and the damaged numbers are told once.
TEST_F(PublicationTest, ForbiddenCharactersAndDamagedNumbersNeverBreakADocument) {
  Init("2026\"", "2026-4\" x=\"");
  t_.db.stammdaten.ReporterName = "Preis\x1Bmelder";
  XML_Init(pub_, t_.db);
  Sql("insert into mts_petrolstation values (7, 2, 'id-7', 1, 't', ?, ?, 's', 'h', 'p', 'o', "
      "'1', '2', '')",
      {std::string("Tank\xEF\xBF\xBFstelle\x01Nord"), std::string("Marke\xEF\xBF\xBE")});
  t_.db.stations[7].priceE5 = " 1.500";

  for (int run = 1; run <= 2; ++run) {
    XML_Stationsdaten(pub_, t_.db);
    XML_Out_Station(pub_, t_.db);
    EXPECT_EQ(testing::XmlWellFormedFault(pub_.PublicationXml), "") << pub_.PublicationXml;
    XML_Preisdaten(pub_, t_.db);
    XML_Out_Preise(pub_, t_.db);
    EXPECT_EQ(testing::XmlWellFormedFault(pub_.PublicationXml), "") << pub_.PublicationXml;
  }
  EXPECT_EQ(t_.db.stammdaten.StationPublicationNumber, "2026-2") << "started anew";
  EXPECT_EQ(One("select value from stammdaten where id = 134"), "2026-2");
  pugi::xml_document doc;
  ExpectWellFormed(t_.dir.Read("MTS_G.xml"), doc);
  EXPECT_STREQ(doc.select_node("//petrolStationName").node().child_value(),
               "Tank\xEF\xBF\xBDstelleNord");

  const std::vector<std::string> log = t_.ErrorLines();
  const auto count = [&](const std::string& part) { return testing::LinesWith(log, part); };
  EXPECT_EQ(count("XML_Out_Station / 13 / Typen unverträglich: die gespeicherte Nummer '2026\"' "
                  "(stammdaten 133) ist keine Nummer der Form Jahr-Zähler"),
            1u)
      << testing::Joined(log);
  EXPECT_EQ(count("XML_Out_Preise / 13 / Typen unverträglich: die gespeicherte Nummer"), 1u);
  for (const char* column : {"ps_name", "ps_brand"}) {
    EXPECT_EQ(count(std::string("Station 7: mts_petrolstation.") + column +
                    " enthält Zeichen, die XML nicht zulässt"),
              1u)
        << column << " is told once\n"
        << testing::Joined(log);
  }
  EXPECT_EQ(count("stammdaten 135 enthält Zeichen"), 1u);
}

}  // namespace
}  // namespace velunor
