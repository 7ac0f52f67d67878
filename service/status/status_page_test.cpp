#include "service/status/status_page.h"

#include <string>

#include <gtest/gtest.h>

#include "service/status/status_server.h"
#include "service/status/status_snapshot.h"
#include "tests/expect_text.h"
#include "tests/test_base.h"

namespace velunor {
namespace {

StatusSnapshot Picture() {
  StatusSnapshot s;
  ServiceFacts& shown = s.shown;
  shown.caption = "Datenübergabe an die Markttransparenzstelle";
  shown.status_line = StatusLine({2026, 12, 8, 10, 5, 0}, 0, " Warten auf Auftrag");
  shown.publications[0].number = "2026-1";
  shown.publications[0].numbered_at = DateTime{2026, 12, 8, 10, 0, 0};
  shown.publications[0].acknowledged_at = DateTime{2026, 12, 8, 10, 0, 0};
  shown.publications[0].failed_at = DateTime{2026, 12, 8, 10, 4, 0};
  s.grid = {
      {"Station / Letzte Verstellzeit", "Aktiv", "Super E5", "Super E10", "Diesel", "LPG", "CNG"},
      {"1 <script>alert('x')</script> & Söhne", "1", "1.799", "", "", "", ""}};
  shown.communication = {"10:05:00 Transaction successfull"};
  shown.reporter = "Quillon Tankstellen GmbH & Co. KG";
  s.state = "ok";
  return s;
}

TEST(StatusPage, ShowsTheWindowsTextsEscapedWithNothingFromElsewhere) {
  const std::string page = StatusPage(Picture());
  EXPECT_TRUE(Contains(page, "08.12.2026 10:05:00 Warten auf Auftrag"));
  EXPECT_TRUE(Contains(page, "Kommunikation:"));
  EXPECT_TRUE(Contains(page, ">Stationen zu Quillon Tankstellen GmbH &amp; Co. KG</h2>"));
  EXPECT_TRUE(Contains(page, "1 &lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; Söhne"));
  EXPECT_FALSE(Contains(page, "<script>alert"));
  // The failure marker is shown as the window shows it: framed in red.
  EXPECT_TRUE(Contains(page, "<td class=\"failed\"><span>!! 08.12.2026 10:04:00 !!</span>"));
  // No resource from another origin: no URL with a scheme at all.
  EXPECT_FALSE(Contains(page, "http://"));
  EXPECT_FALSE(Contains(page, "https://"));
  EXPECT_TRUE(Contains(page, "name=\"viewport\""));
  // The first paint is the part that every refresh puts in place.
  EXPECT_TRUE(Contains(page, "<body>\n" + StatusPart(Picture()) + "<script>"));
}

TEST(StatusSnapshot, HealthIsOkOnlyWhenEverythingIs) {
  StatusSnapshot s = Picture();
  EXPECT_EQ(HealthStatus(s), 200);
  for (const char* state : {"alarm", "starting", "lost-connection", "stopping"}) {
    s.state = state;
    EXPECT_EQ(HealthStatus(s), 503) << state;
    EXPECT_TRUE(Contains(HealthJson(s), std::string("\"state\": \"") + state + "\""));
  }
  // Bytes that are not UTF-8 (an upstream text) do not break the answer.
  s.shown.status_line->text =
      " Stra\xdf"
      "e";
  EXPECT_TRUE(Contains(StatusJson(s), "\"status_line\""));
}

TEST(StatusServer, AddressIsHostAndPort) {
  std::optional<StatusAddress> address = ParseStatusAddress("127.0.0.1:8089");
  ASSERT_TRUE(address);
  EXPECT_EQ(address->text, "127.0.0.1:8089");
  EXPECT_EQ(address->host, "127.0.0.1");
  EXPECT_EQ(address->port, 8089);
  address = ParseStatusAddress("[::1]:0");
  ASSERT_TRUE(address);
  EXPECT_EQ(address->host, "::1");
  EXPECT_EQ(address->port, 0);
  for (const char* bad : {"8089", ":8089", "127.0.0.1:", "127.0.0.1:65536", "::1:8089",
                          "localhost:80x", "[]:80", "127.0.0.1:-1"}) {
    EXPECT_FALSE(ParseStatusAddress(bad)) << bad;
  }
}

// A network of 150 stations shows 100 of them, the ones that want a look
// first, and says so; the rest stay in /status.json.
TEST(StatusPage, ALargeNetworkShowsItsStationsThatWantALookFirst) {
  StatusSnapshot s = Picture();
  s.grid.resize(2);
  for (int n = 1; n <= 150; ++n) {
    s.grid.push_back({"Station " + std::to_string(n) + ".", "J"});
    s.grid.push_back({"time " + std::to_string(n) + "."});
  }
  s.attention_rows = {2 * 140, 2 * 150};
  const std::string page = StatusPage(s);
  const size_t grid = page.find("<table id=\"grid\">");
  const std::string table = page.substr(grid, page.find("</table>", grid) - grid);
  EXPECT_EQ(testing::Occurrences(table, "<tr>"), 2u + 200u + 1u)
      << "headings, 100 stations of two rows, the note";
  const size_t first = page.find("Station 140.");
  EXPECT_LT(first, page.find("Station 150.")) << page;
  EXPECT_LT(page.find("Station 150."), page.find("Station 1."));
  EXPECT_LT(first, page.find("time 140.")) << "a station's rows stay together";
  EXPECT_TRUE(Contains(page, "Station 98."));
  EXPECT_FALSE(Contains(page, "Station 99.")) << "98 in order after the two";
  EXPECT_TRUE(Contains(page, "Gezeigt: 100 von 150 Stationen, zuerst die 2 auffälligen"));
}

}  // namespace
}  // namespace velunor
