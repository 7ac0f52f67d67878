#include "service/status/operations.h"

#include <gtest/gtest.h>

#include "tests/test_env.h"

namespace velunor {
namespace {

// The status page lists first the stations that do not report (not known
// yet, no MTS-K fuels, deactivated) and those with an open price warning,
// in grid order; the metrics count the stations of the publication.
TEST(OperationsTest, StationsThatDoNotReportOrHaveAWarningComeFirst) {
  testing::TestEnv t;
  StationPublicationIndex published;
  published.StationActive[1] = 1;
  published.StationActive[2] = 0;
  published.StationActive[3] = 1;
  Operations operations(t.env, published, Operations::kDefaultArchiveBytes);
  operations.PublishSnapshots();
  ServiceState& shown = t.service;
  shown.LayOutStations(5);
  for (long n = 1; n <= 5; ++n) shown.PlaceStation(static_cast<int>(n) - 1, n, "Station");
  shown.SetReporting(1, Reporting::kYes);
  shown.SetReporting(2, Reporting::kNo);
  shown.SetReporting(3, Reporting::kYes);
  shown.SetReporting(4, Reporting::kDeactivated);
  PriceWarning warning;
  warning.station = 3;
  warning.fuel_key = "e5";
  warning.raised_at = t.clock.EpochSeconds();
  shown.RaisePriceWarning(warning);
  operations.TickDone(false, false);

  const auto picture = operations.box().Current();
  EXPECT_EQ(picture->attention_rows, (std::vector<int>{4, 6, 8, 10}))
      << "stations 2 to 5; station 5's flag is not known yet";
  EXPECT_NE(picture->metrics.find("\nvelunor_stations_reported 2\n"), std::string::npos)
      << picture->metrics;
}

}  // namespace
}  // namespace velunor
