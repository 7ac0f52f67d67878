// The database server stopped and started again while a price chain runs, in
// each of the chain's states 1, 2, 3, 4, 10 and 90: the server goes down just
// before the state's step and stays down through a failed reconnect. The
// service must keep running, reconnect once the server is back, and report
// every changed price in the following cycle, both to the MTS-K and in its
// own price table. Each case has a MariaDB server of its own.
#include <string>

#include <gtest/gtest.h>

#include "tests/proof_network.h"
#include "tests/proof_rig.h"
#include "tests/proof_server.h"

namespace velunor {
namespace {

using testing::PrivateServer;
using testing::ServiceRig;

constexpr int kStations = 20;
constexpr int kLostConnection = 800;

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class FaultDbTest : public ::testing::TestWithParam<int> {};

TEST_P(FaultDbTest, ServerStoppedInTheStateIsSurvivedAndEveryPriceReportedAfterwards) {
  const int state = GetParam();
  PrivateServer server;
  testing::SeedStationNetwork(*server.Connect(), kStations);
  ServiceRig::Options options;
  options.db_server = server.Server();
  ServiceRig rig(options);
  ASSERT_TRUE(rig.Start()) << Joined(rig.front_end().messages) << Joined(rig.ErrorLines());
  rig.RunFirstExports();
  ASSERT_TRUE(rig.ErrorLines().empty()) << Joined(rig.ErrorLines());

  testing::PriceMap expected;
  int acknowledged_before = 0;
  {
    auto db = server.Connect();
    testing::ChangeAllPrices(*db, 7);
    expected = testing::UpstreamPrices(*db);
    acknowledged_before = rig.TransferLogCount(*db, 1);
  }
  ASSERT_EQ(expected.size(), static_cast<size_t>(kStations));

  rig.TickToPriceState(state);
  server.Stop();
  // The step runs against the stopped server; the lost connection shows at
  // the latest when a later step of the chain needs the database. The tick
  // that notices it already shows the first wait state.
  auto waiting = [&] { return rig.window().AblaufStatus > kLostConnection; };
  for (int i = 0; i < 8 && !waiting(); ++i) rig.Tick();
  ASSERT_EQ(rig.window().AblaufStatus, kLostConnection + 1)
      << "the scheduler did not notice the lost connection; error log:\n"
      << Joined(rig.ErrorLines());
  EXPECT_NE(Joined(rig.ErrorLines()).find(" / -2147467259 / "), std::string::npos)
      << "the lost connection is in the error log";

  // One whole wait and a reconnect attempt while the server is still down.
  rig.TickUntilState(817, 20);
  rig.Tick();
  EXPECT_TRUE(EndsWith(rig.model().info(), " Immer noch keine DB-Verbindung möglich!"))
      << rig.model().info();
  EXPECT_EQ(rig.window().AblaufStatus, kLostConnection);
  ASSERT_TRUE(rig.running());

  server.Start();
  rig.TickUntilState(0, 20);
  EXPECT_TRUE(EndsWith(rig.model().info(), " DB-Verbindung erfolgreich hergestellt!"))
      << rig.model().info();

  // The next automatic price export comes by the tick counter alone.
  const int requests = rig.sim().RequestCount();
  rig.TickUntilState(1, 100);
  rig.TickUntilState(0, 10);
  ASSERT_TRUE(rig.running());
  ASSERT_EQ(rig.sim().RequestCount(), requests + 1) << "one price publication after the restart";
  EXPECT_EQ(testing::PriceDifferences(expected, testing::PublishedPrices(rig.LastRequest())), "")
      << "the publication after the restart carries every changed price";

  auto db = server.Connect();
  EXPECT_EQ(testing::PriceDifferences(expected, testing::StoredPrices(*db)), "")
      << "mts_petrolstation_price holds every changed price";
  EXPECT_EQ(rig.TransferLogCount(*db, 1), acknowledged_before + 1)
      << "the acknowledgement after the restart is in the transfer log (the one during the "
         "fault could not be written)";
  EXPECT_EQ(rig.TransferLogCount(*db, 200), 0) << "no transmission failed";
}

INSTANTIATE_TEST_SUITE_P(PriceChain, FaultDbTest, ::testing::Values(1, 2, 3, 4, 10, 90),
                         [](const ::testing::TestParamInfo<int>& param) {
                           return "State" + std::to_string(param.param);
                         });

}  // namespace
}  // namespace velunor
