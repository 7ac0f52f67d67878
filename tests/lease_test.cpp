// The reporter lease in one test process: two services on two program
// directories against the shared database, their ticks driven by the test,
// the lease judged by the database server's clock. Who reports is told by
// each service's simulator; the lease row is edited by hand where another
// machine's doing would take minutes.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "service/status/status_snapshot.h"
#include "tests/expect_text.h"
#include "tests/rig_test.h"
#include "tests/small_network.h"

namespace velunor {
namespace {

namespace fs = std::filesystem;
using testing::ServiceRig;

// Long: nothing here runs out by itself.
constexpr int kLeaseSeconds = 600;

class LeaseTest : public testing::RigTest {
 protected:
  // A service that has started; `program_dir` "" for a fresh one.
  std::unique_ptr<ServiceRig> Started(const std::string& name, const fs::path& program_dir = {}) {
    auto rig = std::make_unique<ServiceRig>(ServiceRig::Options{
        .program_dir = program_dir, .lease_seconds = kLeaseSeconds, .instance_name = name});
    rig->service().operations().PublishSnapshots();
    EXPECT_TRUE(rig->Start()) << testing::Joined(rig->ErrorLines());
    return rig;
  }
  // The reporter with its first publications sent, and a standby.
  void ActiveAndStandby() {
    active_ = Started("alpha");
    active_->RunFirstExports();
    standby_ = Started("beta");
    standby_->Tick();
    ASSERT_TRUE(standby_->window().scheduler().standby());
  }
  // The lease as a holder long gone left it.
  void ExpireLease() {
    sql_->Execute("update velunor_lease set expires = utc_timestamp() - interval 1 second");
  }
  static std::shared_ptr<const StatusSnapshot> Health(ServiceRig& rig) {
    return rig.service().operations().box().Current();
  }
  static bool Reports(ServiceRig& rig) {
    const int before = rig.sim().RequestCount();
    rig.window().scheduler().SetTaktZaehler(90);
    rig.Tick(12);
    return rig.sim().RequestCount() > before;
  }
  std::string LeaseColumn(const std::string& column) {
    return testing::QueryRows(*sql_, "select " + column + " from velunor_lease");
  }

  std::unique_ptr<ServiceRig> active_;
  std::unique_ptr<ServiceRig> standby_;
};

TEST_F(LeaseTest, AStandbyWhoseConnectionWasCutReconnectsAndTakesOver) {
  ASSERT_NO_FATAL_FAILURE(ActiveAndStandby());
  sql_->Execute("kill " + testing::QueryRows(standby_->state().db.db(), "select connection_id()"));
  standby_->Tick(2);
  EXPECT_EQ(standby_->window().scheduler().state(), kWaitForDatabase + 1);
  standby_->Tick(17);  // the wait, the announcement, the attempt
  EXPECT_EQ(standby_->window().scheduler().state(), kIdle) << standby_->model().info();
  EXPECT_TRUE(standby_->window().scheduler().standby());

  ExpireLease();  // the active one is gone meanwhile
  standby_->Tick(2);
  EXPECT_FALSE(standby_->window().scheduler().standby()) << standby_->model().info();
  EXPECT_TRUE(Reports(*standby_));
}

TEST_F(LeaseTest, ANormalEndLetsTheStandbyTakeOverAtItsNextTick) {
  ASSERT_NO_FATAL_FAILURE(ActiveAndStandby());
  ASSERT_TRUE(active_->window().RequestShutdown());
  active_->Tick();
  ASSERT_FALSE(active_->running());
  standby_->Tick(2);
  EXPECT_FALSE(standby_->window().scheduler().standby()) << standby_->model().info();
  EXPECT_TRUE(Reports(*standby_));
}

TEST_F(LeaseTest, AStandbyRaisesTheAlarmWhenNobodyRenewsOrNobodyReports) {
  ASSERT_NO_FATAL_FAILURE(ActiveAndStandby());
  standby_->Tick();
  EXPECT_EQ(Health(*standby_)->state, "standby");
  EXPECT_EQ(HealthStatus(*Health(*standby_)), 200);

  // A holder that stopped renewing two lease lengths ago, its lease still
  // running (written by hand, or a lease far longer than the tick).
  sql_->Execute("update velunor_lease set renewed = utc_timestamp() - interval " +
                std::to_string(2 * kLeaseSeconds) + " second");
  standby_->Tick();
  std::shared_ptr<const StatusSnapshot> health = Health(*standby_);
  EXPECT_EQ(health->state, "alarm");
  EXPECT_EQ(HealthStatus(*health), 503);
  ASSERT_FALSE(health->problems.empty());
  EXPECT_TRUE(Contains(health->problems.back(), "alpha hat die Meldeberechtigung seit "));

  // Renewed, but the last price acknowledged six minutes ago.
  sql_->Execute("update velunor_lease set renewed = utc_timestamp()");
  sql_->Execute("update velunor_state set changed = changed - interval 6 minute");
  sql_->Execute("update mts_petrolstation_log set log_zeit = log_zeit - interval 6 minute");
  standby_->Tick(10);
  health = Health(*standby_);
  EXPECT_EQ(health->state, "alarm");
  ASSERT_FALSE(health->problems.empty());
  EXPECT_TRUE(Contains(health->problems.back(), "keine Preisdaten-Quittung"));
  EXPECT_TRUE(standby_->window().scheduler().standby());
}

// A deadlock (or a Galera node's certification conflict, which reports as
// one) on the lease is no fault: not confirmed this time, asked again next
// tick, nothing logged; another refusal is logged at most once a minute and
// shown as degraded.
TEST_F(LeaseTest, AConflictOnTheLeaseIsRetriedAndAnotherRefusalShowsAsDegraded) {
  sql_->Execute(
      "create trigger test_conflict before update on velunor_lease for each row "
      "signal sqlstate '40001' set mysql_errno = 1213, message_text = 'Deadlock found'");
  active_ = Started("alpha");
  EXPECT_TRUE(active_->running()) << "a conflict is not the end of a start";
  active_->Tick(5);
  EXPECT_EQ(active_->sim().RequestCount(), 0);
  EXPECT_EQ(active_->ErrorLines(), std::vector<std::string>());
  sql_->Execute("drop trigger test_conflict");
  active_->RunFirstExports();
  EXPECT_TRUE(Reports(*active_));

  sql_->Execute(
      "create trigger test_read_only before update on velunor_lease for each row "
      "signal sqlstate '45000' set message_text = 'read only'");
  const size_t logged = active_->ErrorLines().size();
  active_->Tick(30);
  std::shared_ptr<const StatusSnapshot> health = Health(*active_);
  EXPECT_EQ(health->state, "degraded");
  EXPECT_TRUE(std::any_of(health->problems.begin(), health->problems.end(),
                          [](const std::string& problem) {
                            return problem.find("nicht bestätigt: 1644 ") != std::string::npos &&
                                   problem.ends_with("read only");
                          }))
      << testing::Joined(health->problems);
  EXPECT_EQ(active_->ErrorLines().size(), logged + 1) << testing::Joined(active_->ErrorLines());
  active_->clock().Advance(60);
  active_->Tick(30);
  EXPECT_EQ(active_->ErrorLines().size(), logged + 2) << "once a minute";
  sql_->Execute("drop trigger test_read_only");
  EXPECT_TRUE(Reports(*active_));
  EXPECT_EQ(Health(*active_)->state, "ok") << testing::Joined(Health(*active_)->problems);
}

TEST_F(LeaseTest, ADeletedLeaseRowIsMadeAgain) {
  ASSERT_NO_FATAL_FAILURE(ActiveAndStandby());
  sql_->Execute("delete from velunor_lease");
  active_->Tick(3);
  standby_->Tick(3);
  EXPECT_FALSE(active_->window().scheduler().standby());
  EXPECT_TRUE(standby_->window().scheduler().standby());
  EXPECT_TRUE(Reports(*active_));
  EXPECT_EQ(LeaseColumn("holder"), "alpha");
}

// Two processes under one token: a copy of the program directory (a cloned
// machine, a restored backup) started while the first runs. The copy takes
// the lease as a restart would; the first then finds its token under another
// process's nonce, says so loudly and stands by. Never do both report.
TEST_F(LeaseTest, ACopyOfTheProgramDirectoryIsToldApartAndOnlyOneReports) {
  active_ = Started("alpha");
  active_->RunFirstExports();
  testing::TempDir copy;
  fs::create_directories(copy.path() / "program");
  fs::copy_file(active_->program_dir() / "velunor.instance",
                copy.path() / "program" / "velunor.instance");
  standby_ = Started("alpha", copy.path() / "program");
  standby_->RunFirstExports();

  EXPECT_FALSE(Reports(*active_)) << "the first sends nothing more";
  EXPECT_TRUE(active_->window().scheduler().standby());
  const std::string copy_text = "eine Kopie dieses Programmverzeichnisses läuft anderswo";
  EXPECT_TRUE(Contains(active_->model().info(), copy_text));
  const std::string errors = testing::Joined(active_->ErrorLines());
  EXPECT_TRUE(Contains(errors, copy_text));
  EXPECT_EQ(Health(*active_)->state, "alarm");
  EXPECT_TRUE(Reports(*standby_));
  active_->Tick(3);
  EXPECT_TRUE(active_->window().scheduler().standby()) << "it does not take the lease back";
}

// A reporter paused longer than its lease (a stopped process, a paused
// virtual machine, whose clock does not see the pause) returns in the middle
// of the price chain while another instance has taken over: its next step
// asks the server first and writes nothing.
TEST_F(LeaseTest, AReporterPausedInTheChainWritesNothingAfterATakeover) {
  active_ = Started("alpha");
  active_->RunFirstExports();
  testing::SetUpstreamPrice(*sql_, 2, 3, "1.439", "2026-12-06 09:06:00");
  active_->TickToPriceState(kStorePrices);
  const int sent = active_->sim().RequestCount();
  sql_->Execute(
      "update velunor_lease set token = 'other', nonce = 'other', holder = 'beta',"
      " since = utc_timestamp(), renewed = utc_timestamp(),"
      " expires = utc_timestamp() + interval 60 second");

  active_->Tick(10);
  EXPECT_EQ(testing::StoredPrice(*sql_, 2, "ps_pricediesel"), testing::InitialPrice(2, 3))
      << "nothing written after the takeover";
  EXPECT_EQ(active_->sim().RequestCount(), sent) << "nothing sent";
  EXPECT_TRUE(active_->window().scheduler().standby());
}

}  // namespace
}  // namespace velunor
