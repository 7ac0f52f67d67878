// The MTS-K endpoint failing during a station transmission: refusing,
// answering with something that is not SOAP, with an HTTP error, not
// answering in time, or dropping the connection at once or in the middle of
// the request. The failure must be logged (transfer log, window,
// communication log), the service must keep running, and the station data
// the authority never accepted must go out again at the next change check.
// (A failed price publication loses nothing: every price publication carries
// every current price.)
#include <chrono>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "tests/expect_text.h"
#include "tests/proof_network.h"
#include "tests/proof_rig.h"
#include "tests/tcp_cutter.h"

namespace velunor {
namespace {

using testing::Joined;

using testing::ServiceRig;
using testing::TcpCutter;

constexpr int kStations = 20;

struct Fault {
  const char* name;
  std::string outcome;                   // the simulator's answer during the fault
  std::string komm_line;                 // a line the communication log must show
  std::optional<TcpCutter::Mode> cut{};  // a dropped connection instead
  int timeout_ms = 0;                    // a short transport time-out
};

std::ostream& operator<<(std::ostream& out, const Fault& f) { return out << f.name; }

// The version and name of `ps_id` in station publication `body` ("" when absent).
std::string StationText(const std::string& body, const std::string& ps_id) {
  const testing::ReceivedPublication p = testing::ParseReceived(body);
  if (p.kind != "PetrolStationPublication" || p.stations.count(ps_id) == 0) return "";
  return p.stations.at(ps_id);
}

class FaultTransmissionTest : public ::testing::TestWithParam<Fault> {};

TEST_P(FaultTransmissionTest, FailureIsLoggedAndTheStationDataGoOutAgainAtTheNextChangeCheck) {
  const Fault& fault = GetParam();
  auto db = testing::ConnectToSeededNetwork(kStations);

  std::optional<TcpCutter> cutter;
  ServiceRig::Options options;
  options.transport_timeout = std::chrono::milliseconds(fault.timeout_ms);
  if (fault.cut) {
    cutter.emplace(0, TcpCutter::Mode::kPass);
    options.station_url =
        "https://127.0.0.1:" + std::to_string(cutter->port()) + "/mdm/stationdata";
  }
  ServiceRig rig(options);
  if (cutter) cutter->SetTarget(rig.sim().port());
  ASSERT_TRUE(rig.Start()) << Joined(rig.front_end().messages);
  rig.RunFirstExports();
  ASSERT_EQ(rig.TransferLogCount(*db, 0), 1) << "the first station publication went through";

  // A station changes upstream; its publication fails.
  db->Execute("update lox_station set name1 = 'Umbenannt' where station = 5");
  db->Execute("update lox_station_mts set status = 2 where station = 5");
  if (cutter) {
    cutter->SetMode(*fault.cut);
  } else {
    rig.sim().SetOutcomes({fault.outcome});
  }
  rig.window().scheduler().SetTaktZaehler(79);
  rig.Tick();  // the change check
  ASSERT_EQ(rig.window().scheduler().state(), kBuildStationLines);
  rig.TickUntilState(kTransmit, 5);
  const int requests_before_fault = rig.sim().RequestCount();
  const auto start = std::chrono::steady_clock::now();
  rig.Tick();
  const auto send_time = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(rig.window().scheduler().state(), kIdle)
      << "a failed station transmission starts no prices";
  ASSERT_TRUE(rig.running());
  EXPECT_EQ(rig.TransferLogCount(*db, 100), 1) << "the failure is in the transfer log";
  EXPECT_TRUE(rig.model().label1(6).starts_with("!! ")) << rig.model().label1(6);
  EXPECT_TRUE(Contains(Joined(rig.model().list1()), "Transaction failed!"));
  EXPECT_TRUE(Contains(Joined(rig.model().list1()), fault.komm_line));
  if (fault.timeout_ms > 0) {
    EXPECT_LT(send_time, std::chrono::milliseconds(fault.timeout_ms + 2000))
        << "the transport's time-out ends the wait, not the server";
  }
  std::string failed_version;
  if (cutter) {
    EXPECT_GE(cutter->cut(), 1) << "the connection was dropped";
    EXPECT_EQ(rig.sim().RequestCount(), requests_before_fault) << "no request got through";
  } else {
    ASSERT_EQ(rig.sim().RequestCount(), requests_before_fault + 1);
    failed_version = StationText(rig.LastRequest(), "st-5");
    EXPECT_TRUE(Contains(failed_version, "Umbenannt"));
  }

  // The endpoint works again. The next cycle's change check sends the
  // station anew, with a new version; nothing upstream changed meanwhile.
  if (cutter) {
    cutter->SetMode(TcpCutter::Mode::kPass);
  } else {
    rig.sim().SetOutcomes({"ack"});
  }
  const int requests = rig.sim().RequestCount();
  std::string resent;
  for (int i = 0; i < 150 && resent.empty(); ++i) {
    rig.Tick();
    for (int n = requests + 1; n <= rig.sim().RequestCount() && resent.empty(); ++n) {
      resent = StationText(rig.sim().RequestBody(n), "st-5");
    }
  }
  ASSERT_FALSE(resent.empty()) << "the station data did not go out again; error log:\n"
                               << Joined(rig.ErrorLines());
  EXPECT_TRUE(Contains(resent, "Umbenannt"));
  if (!failed_version.empty()) {
    EXPECT_NE(resent, failed_version) << "a new version";
  }
  rig.TickUntilState(kIdle, 20);
  EXPECT_EQ(rig.TransferLogCount(*db, 0), 2) << "the station data were acknowledged";
  EXPECT_TRUE(rig.state().db.delivery.pending.empty());
  EXPECT_TRUE(rig.ErrorLines().empty()) << Joined(rig.ErrorLines());
}

INSTANTIATE_TEST_SUITE_P(
    Endpoint, FaultTransmissionTest,
    ::testing::Values(Fault{"Refused", "refuse:Stationsdaten abgelehnt",
                            "SOAP: Server tell us: Stationsdaten abgelehnt"},
                      Fault{"NotXml", "non-xml", "SOAP-Parse-Error!"},
                      Fault{"EmptyAnswer", "empty", "SOAP-Parse-Error!"},
                      Fault{"HttpError", "http:500", "ERR: 500 "},
                      Fault{"TimedOut", "delay:10", "ERR: 28 ", {}, 1000},
                      Fault{"ClosedAtOnce", "", "ERR: 35 ", TcpCutter::Mode::kCloseAtOnce},
                      Fault{"ClosedDuringRequest", "", "ERR: 5",
                            TcpCutter::Mode::kCloseDuringRequest}),
    [](const ::testing::TestParamInfo<Fault>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace velunor
