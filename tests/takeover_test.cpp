// Two velunor processes on two program directories (two machines) against one
// MariaDB and the endpoint simulator: one reports, the other stands by and
// takes over once the reporter lease runs out; a stopped reporter that comes
// back sends nothing; a restart of the same instance reports at once. Which
// instance sent what is told by each program directory's archive.
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/expect_text.h"
#include "tests/rig_test.h"
#include "tests/service_fixture.h"
#include "tests/small_network.h"

namespace velunor {
namespace {

namespace fs = std::filesystem;
using testing::ServiceProcess;
using testing::TestDb;
using testing::WaitUntil;

constexpr int kLeaseSeconds = 15;
using Clock = std::chrono::steady_clock;

class TakeoverTest : public testing::ServiceProcessTest {
 protected:
  // A machine's program directory: the same database; `station_url` ""
  // for the simulator's.
  fs::path Machine(const std::string& name, const std::string& station_url = "") const {
    return WriteProgramDir(TestDb::Server(), station_url, dir_.path() / name);
  }
  std::unique_ptr<ServiceProcess> Run(const fs::path& machine, const std::string& name,
                                      int lease_seconds = kLeaseSeconds) {
    return ServiceProcessTest::Run(testing::InstanceOptions(
        machine, certs_.store, machine / ("run" + std::to_string(++runs_)), name, lease_seconds));
  }
  // SIGTERM to every run, then each must end normally.
  static void Stop(std::initializer_list<ServiceProcess*> runs) {
    for (ServiceProcess* run : runs) run->Signal(SIGTERM);
    for (ServiceProcess* run : runs) EXPECT_EQ(run->Wait(20), 0) << run->Stderr();
  }
  static std::vector<std::string> Sent(const fs::path& machine) {
    return testing::ArchivedTransmissions(machine);
  }
  static size_t Acknowledged(const fs::path& machine, const std::string& kind) {
    const std::vector<std::string> sent = Sent(machine);
    return std::count_if(sent.begin(), sent.end(), [&](const std::string& s) {
      return s.starts_with(kind) && s.find("-acknowledged") != std::string::npos;
    });
  }
  // On standard output (status lines) or standard error (notices).
  static bool Says(const ServiceProcess& run, const std::string& text) {
    return (run.Stdout() + run.Stderr()).find(text) != std::string::npos;
  }
  // `run` says `text` within 20 s; else the failure shows what it said.
  static ::testing::AssertionResult SaysSoon(const ServiceProcess& run, const std::string& text) {
    if (WaitUntil([&] { return Says(run, text); }, 20)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no \"" << text << "\" in\n"
                                         << run.Stdout() << run.Stderr();
  }
  // The publication ids of one kind the simulator received, in order.
  std::vector<std::string> Received(const std::string& kind) const {
    std::vector<std::string> ids;
    for (int n = 1; n <= sim_.RequestCount(); ++n) {
      const testing::ReceivedPublication r = sim_.Received(n);
      if (r.kind == kind) ids.push_back(r.id);
    }
    return ids;
  }

  std::unique_ptr<Connection> sql_ = testing::ConnectToStationNetwork();
  int runs_ = 0;
};

// The counter of a publication id "P-2026-12".
long Counter(const std::string& id) { return std::stol(id.substr(id.rfind('-') + 1)); }

TEST_F(TakeoverTest, OnlyTheActiveReportsAndTheStandbyTakesOverAfterAKillWithWhatWasPending) {
  // Machine a cannot reach the station URL: the stations it synchronises
  // stay unacknowledged, and only the database can tell b about them.
  const fs::path a = Machine("a", "https://127.0.0.1:1/mdm/stationdata");
  const fs::path b = Machine("b");
  auto active = Run(a, "alpha");
  ASSERT_TRUE(WaitUntil([&] { return Acknowledged(a, "price") >= 1; }, 20)) << active->Stdout();
  auto standby = Run(b, "beta");
  ASSERT_TRUE(SaysSoon(*standby, " Bereitschaft: aktiver Dienst ist alpha (seit "));
  // Several price cycles of the active (one every 91 ticks of 20 ms).
  const size_t before = Acknowledged(a, "price");
  ASSERT_TRUE(WaitUntil([&] { return Acknowledged(a, "price") >= before + 2; }, 20));
  EXPECT_EQ(Sent(b), std::vector<std::string>()) << "the standby sends nothing while a reports";

  active->Signal(SIGKILL);
  active->Wait(10);
  const auto killed = Clock::now();
  const size_t requests_at_kill = static_cast<size_t>(sim_.RequestCount());
  testing::SetUpstreamPrice(*sql_, 2, 3, "1.479", "2026-12-06 09:04:00");
  ASSERT_TRUE(WaitUntil([&] { return Acknowledged(b, "price") >= 1; }, kLeaseSeconds + 30))
      << standby->Stdout() << standby->Stderr();
  const double takeover = std::chrono::duration<double>(Clock::now() - killed).count();
  std::printf("takeover: kill -9 to the first acknowledged price publication %.1f s\n", takeover);
  ASSERT_TRUE(WaitUntil([&] { return Acknowledged(b, "station") >= 1; }, 10));
  EXPECT_TRUE(Says(*standby, "Aktiver Dienst übernommen (bisher alpha, seit "))
      << standby->Stdout();

  // What b sent after the takeover: the stations a never got acknowledged,
  // and prices with the one changed while nobody reported.
  bool stations_sent = false;
  bool price_sent = false;
  for (int n = static_cast<int>(requests_at_kill) + 1; n <= sim_.RequestCount(); ++n) {
    const testing::ReceivedPublication r = sim_.Received(n);
    stations_sent |= r.stations.count("id-0001") == 1 && r.stations.count("id-0002") == 1;
    price_sent |= r.Price("id-0002", "Diesel") == "1.479";
  }
  EXPECT_TRUE(stations_sent) << "the stations a synchronised but never got acknowledged";
  EXPECT_TRUE(price_sent) << "the price changed after the kill";

  // The numbers go on: none twice, none back; at most the one that a had
  // stored but not yet sent when it was killed is skipped.
  const std::vector<std::string> prices = Received("FuelPricePublication");
  ASSERT_GE(prices.size(), 4u);
  for (size_t i = 1; i < prices.size(); ++i) {
    const long step = Counter(prices[i]) - Counter(prices[i - 1]);
    EXPECT_TRUE(step == 1 || step == 2) << prices[i - 1] << " then " << prices[i];
  }
  Stop({standby.get()});
}

TEST_F(TakeoverTest, AReporterStoppedForTwoLeasePeriodsSendsNothingAfterItsReturnAndStandsBy) {
  const fs::path a = Machine("a");
  const fs::path b = Machine("b");
  auto first = Run(a, "alpha");
  ASSERT_TRUE(WaitUntil([&] { return Acknowledged(a, "price") >= 1; }, 20)) << first->Stdout();
  auto second = Run(b, "beta");
  ASSERT_TRUE(SaysSoon(*second, " Bereitschaft: aktiver Dienst ist alpha"));

  first->Signal(SIGSTOP);
  const auto stopped = Clock::now();
  ASSERT_TRUE(WaitUntil([&] { return Acknowledged(b, "price") >= 1; }, kLeaseSeconds + 30))
      << second->Stdout();
  std::this_thread::sleep_until(stopped + std::chrono::seconds(2 * kLeaseSeconds));
  const std::vector<std::string> sent_by_a = Sent(a);
  const size_t b_before = Acknowledged(b, "price");
  first->Signal(SIGCONT);
  ASSERT_TRUE(SaysSoon(*first, " Bereitschaft: aktiver Dienst ist beta (seit "));
  // Two more price cycles of b.
  ASSERT_TRUE(WaitUntil([&] { return Acknowledged(b, "price") >= b_before + 2; }, 20));
  EXPECT_EQ(Sent(a), sent_by_a) << "the returned instance sent nothing";
  EXPECT_EQ(static_cast<size_t>(sim_.RequestCount()), Sent(a).size() + Sent(b).size());
  const std::string errors = testing::ReadFile(a / "MTS-Error-0.LOG");
  EXPECT_TRUE(Contains(errors, "Bereitschaft: aktiver Dienst ist beta"));

  Stop({second.get(), first.get()});
}

TEST_F(TakeoverTest, ARestartOfTheSameInstanceReportsAtOnceAndANameTwinStandsBy) {
  const fs::path a = Machine("a");
  const fs::path twin_dir = Machine("twin");
  // A lease far longer than the test: only the instance's own token lets
  // the restart report.
  auto first = Run(a, "alpha", 600);
  ASSERT_TRUE(WaitUntil([&] { return Acknowledged(a, "price") >= 1; }, 20)) << first->Stdout();
  auto twin = Run(twin_dir, "alpha", 600);
  ASSERT_TRUE(SaysSoon(*twin, " Bereitschaft: aktiver Dienst ist alpha"));

  first->Signal(SIGKILL);
  first->Wait(10);
  const size_t before = Acknowledged(a, "price");
  auto again = Run(a, "alpha", 600);
  ASSERT_TRUE(WaitUntil([&] { return Acknowledged(a, "price") > before; }, 20)) << again->Stdout();
  EXPECT_TRUE(Says(*again, " Velunor erfolgreich gestartet")) << again->Stdout();
  EXPECT_EQ(Sent(twin_dir), std::vector<std::string>()) << "the name twin never reports";

  Stop({twin.get(), again.get()});
}

// The server answers but refuses the renewal: the reporter writes and sends
// nothing (the server did not confirm it, however recent its last renewal)
// until a renewal is answered again.
using LeaseFencingTest = testing::RigTest;
TEST_F(LeaseFencingTest, NothingIsWrittenOrSentOnceTheLastRenewalMayHaveRunOut) {
  auto rig = StartedRig();
  sql_->Execute(
      "create trigger test_refuse_lease before update on velunor_lease for each row "
      "signal sqlstate '45000' set message_text = 'refused'");
  const int sent = rig->sim().RequestCount();
  rig->window().scheduler().SetTaktZaehler(90);
  rig->Tick(10);
  EXPECT_EQ(rig->sim().RequestCount(), sent) << "nothing sent within the lease either";

  rig->clock().Advance(60);  // the lease's length
  testing::SetUpstreamPrice(*sql_, 2, 3, "1.459", "2026-12-06 09:06:00");
  rig->Tick(200);
  EXPECT_EQ(rig->sim().RequestCount(), sent) << "nothing sent past the lease";
  EXPECT_EQ(testing::StoredPrice(*sql_, 2, "ps_pricediesel"), testing::InitialPrice(2, 3))
      << "nothing written past the lease";
  EXPECT_TRUE(
      Contains(rig->model().info(), " Aktiver Dienst nicht bestätigt, es wird nichts gesendet"));
  // Each refusal is logged with the server's number and words, under the tick.
  const std::vector<std::string> errors = rig->ErrorLines();
  EXPECT_TRUE(std::any_of(errors.begin(), errors.end(), [](const std::string& line) {
    return Contains(line, "--> Haupt_Timer_Timer / 1644 / ") && line.ends_with("refused / ");
  })) << testing::Joined(errors);

  sql_->Execute("drop trigger test_refuse_lease");
  rig->RunPriceExport();
  ASSERT_EQ(rig->sim().RequestCount(), sent + 1);
  EXPECT_EQ(testing::ParseReceived(rig->LastRequest()).Price("id-0002", "Diesel"), "1.459");
}

}  // namespace
}  // namespace velunor
