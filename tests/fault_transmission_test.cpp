// The MTS-K endpoint failing during a price transmission: refusing, answering
// with something that is not SOAP, with an HTTP error, not answering in time,
// or dropping the connection at once or in the middle of the request. The
// failure must be logged (transfer log, window, communication log), the
// service must keep running, and the next cycle must report every changed
// price, also those of the failed cycle.
#include <algorithm>
#include <chrono>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "tests/proof_network.h"
#include "tests/proof_rig.h"
#include "tests/tcp_cutter.h"

namespace velunor {
namespace {

using testing::ServiceRig;
using testing::TcpCutter;

constexpr int kStations = 20;

struct Fault {
  const char* name;
  std::string outcome;                 // the simulator's answer during the fault
  std::optional<TcpCutter::Mode> cut;  // a dropped connection instead
  int timeout_ms = 0;                  // a short transport time-out
  std::string komm_line;               // a line the communication log must show
};

std::ostream& operator<<(std::ostream& out, const Fault& f) { return out << f.name; }

bool Contains(const std::vector<std::string>& lines, const std::string& part) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.find(part) != std::string::npos; });
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

class FaultTransmissionTest : public ::testing::TestWithParam<Fault> {};

TEST_P(FaultTransmissionTest, FailureIsLoggedAndTheNextCycleReportsEveryPrice) {
  const Fault& fault = GetParam();
  auto db = testing::TestDb::Connect();
  testing::TestDb::Reset(*db);
  testing::SeedStationNetwork(*db, kStations);

  std::optional<TcpCutter> cutter;
  ServiceRig::Options options;
  options.transport_timeout = std::chrono::milliseconds(fault.timeout_ms);
  if (fault.cut) {
    cutter.emplace(0, TcpCutter::Mode::kPass);
    options.price_url = "https://127.0.0.1:" + std::to_string(cutter->port()) + "/mdm/pricedata";
  }
  ServiceRig rig(options);
  if (cutter) cutter->SetTarget(rig.sim().port());
  ASSERT_TRUE(rig.Start()) << Joined(rig.front_end().messages);
  rig.RunFirstExports();
  ASSERT_EQ(rig.TransferLogCount(*db, 1), 1) << "the first price publication went through";

  // A cycle in which every price changes and the transmission fails.
  testing::ChangeAllPrices(*db, 5);
  if (cutter) {
    cutter->SetMode(*fault.cut);
  } else {
    rig.sim().SetOutcomes({fault.outcome});
  }
  rig.TickToPriceState(90);
  const int requests_before_fault = rig.sim().RequestCount();
  const auto start = std::chrono::steady_clock::now();
  rig.Tick();
  const auto send_time = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(rig.window().AblaufStatus, 0);
  ASSERT_TRUE(rig.running());
  EXPECT_EQ(rig.TransferLogCount(*db, 200), 1) << "the failure is in the transfer log";
  EXPECT_EQ(rig.model().label1(7).rfind("!! ", 0), 0u) << rig.model().label1(7);
  EXPECT_TRUE(Contains(rig.model().list1(), "Transaction failed!")) << Joined(rig.model().list1());
  EXPECT_TRUE(Contains(rig.model().list1(), fault.komm_line))
      << "expected \"" << fault.komm_line << "\" in\n"
      << Joined(rig.model().list1());
  if (fault.timeout_ms > 0) {
    EXPECT_LT(send_time, std::chrono::milliseconds(fault.timeout_ms + 2000))
        << "the transport's time-out ends the wait, not the server";
  }
  if (cutter) {
    EXPECT_GE(cutter->cut(), 1) << "the connection was dropped";
    EXPECT_EQ(rig.sim().RequestCount(), requests_before_fault) << "no request got through";
  } else {
    EXPECT_EQ(rig.sim().RequestCount(), requests_before_fault + 1);
  }

  // Some stations change again, the others keep the prices of the failed cycle.
  db->Execute("update lox_station_aktuelle_preise set preis = preis + 0.002 where station <= 5");
  const testing::PriceMap expected = testing::UpstreamPrices(*db);
  if (cutter) {
    cutter->SetMode(TcpCutter::Mode::kPass);
  } else {
    rig.sim().SetOutcomes({"ack"});
  }
  const int requests = rig.sim().RequestCount();
  rig.TickUntilState(1, 100);  // the next automatic price export
  rig.TickUntilState(0, 10);
  ASSERT_TRUE(rig.running());
  ASSERT_EQ(rig.sim().RequestCount(), requests + 1);
  EXPECT_EQ(testing::PriceDifferences(expected, testing::PublishedPrices(rig.LastRequest())), "")
      << "the next cycle reports every current price";
  EXPECT_EQ(testing::PriceDifferences(expected, testing::StoredPrices(*db)), "");
  EXPECT_EQ(rig.TransferLogCount(*db, 1), 2) << "the next cycle was acknowledged";
  EXPECT_EQ(rig.TransferLogCount(*db, 200), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Endpoint, FaultTransmissionTest,
    ::testing::Values(Fault{"Refused",
                            "refuse:Preisdaten abgelehnt",
                            {},
                            0,
                            "SOAP: Server tell us: Preisdaten abgelehnt"},
                      Fault{"NotXml", "non-xml", {}, 0, "SOAP-Parse-Error!"},
                      Fault{"EmptyAnswer", "empty", {}, 0, "SOAP-Parse-Error!"},
                      Fault{"HttpError", "http:500", {}, 0, "ERR: 500 "},
                      Fault{"TimedOut", "delay:10", {}, 1000, "ERR: 28 "},
                      Fault{"ClosedAtOnce", "", TcpCutter::Mode::kCloseAtOnce, 0, "ERR: 35 "},
                      Fault{"ClosedDuringRequest", "", TcpCutter::Mode::kCloseDuringRequest, 0,
                            "ERR: 5"}),
    [](const ::testing::TestParamInfo<Fault>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace velunor
