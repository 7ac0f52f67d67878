// The database server failing while the service works: stopped and started
// again in each state of the price chain and of the station chain, frozen
// (a server that stops answering without closing the connection), or its
// connection cut by a relay in front of it. What can
// really be lost is checked, not what every later price publication sends
// anyway: the service's own rows (prices with their history), station data
// whose publication was abandoned, and a clean restart afterwards. Station 1
// sells Super E10 without an upstream price, so its price row holds a fuel
// without price. Each case has a MariaDB server of its own.
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "service/db/batch_write.h"
#include "service/db/connect.h"
#include "tests/expect_text.h"
#include "tests/proof_network.h"
#include "tests/proof_rig.h"
#include "tests/proof_server.h"
#include "tests/received_publication.h"
#include "tests/small_network.h"
#include "tests/tcp_cutter.h"
#include "tests/test_support.h"

namespace velunor {
namespace {

using testing::Joined;
using testing::PrivateServer;
using testing::ServiceRig;

constexpr int kStations = 20;

class FaultDbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto db = server_.Connect();
    testing::SeedStationNetwork(*db, kStations);
    db->Execute("delete from lox_station_aktuelle_preise where station = 1 and produkt = 2");
    ASSERT_NO_FATAL_FAILURE(StartRig());
    rig_->RunFirstExports();
    ASSERT_TRUE(rig_->ErrorLines().empty()) << Joined(rig_->ErrorLines());
  }

  // Every upstream price changed by `thousandths`; returns the prices as they stand.
  testing::PriceMap ChangedPrices(int thousandths) {
    return testing::ChangeAllPrices(*server_.Connect(), thousandths);
  }

  // A new rig on the test's server, started.
  void StartRig() {
    rig_ = std::make_unique<ServiceRig>(ServiceRig::Options{.db_server = server_.Server()});
    ASSERT_TRUE(rig_->Start()) << Joined(rig_->front_end().messages) << Joined(rig_->ErrorLines());
  }

  // The server goes down before the step of `state`; the service notices,
  // waits, fails to reconnect once and reconnects when the server is back.
  void LoseTheServerIn(SchedulerState state) {
    rig_->TickUntilState(state, 10);
    server_.Stop();
    // The step runs against the stopped server; the lost connection shows at
    // the latest when a later step of the chain needs the database. The tick
    // that notices it already shows the first wait state.
    for (int i = 0; i < 8 && rig_->window().scheduler().state() <= kWaitForDatabase; ++i)
      rig_->Tick();
    ASSERT_EQ(rig_->window().scheduler().state(), WaitingForDatabase(1))
        << "the scheduler did not notice the lost connection; error log:\n"
        << Joined(rig_->ErrorLines());
    EXPECT_TRUE(Contains(Joined(rig_->ErrorLines()), " / -2147467259 / "));
    rig_->TickUntilState(kReconnect, 20);
    rig_->Tick();
    EXPECT_TRUE(rig_->model().info().ends_with(" Immer noch keine DB-Verbindung möglich!"))
        << rig_->model().info();
    ASSERT_TRUE(rig_->running());
    server_.Start();
    rig_->TickUntilState(kIdle, 20);
    EXPECT_TRUE(rig_->model().info().ends_with(" DB-Verbindung erfolgreich hergestellt!"))
        << rig_->model().info();
  }

  // Ticks until the simulator has received a station publication after
  // request `after`; "" when none came within `max_ticks`.
  std::string NextStationPublication(int after, int max_ticks) {
    for (int i = 0; i < max_ticks; ++i) {
      for (int n = after + 1; n <= rig_->sim().RequestCount(); ++n) {
        const std::string body = rig_->sim().RequestBody(n);
        if (testing::ParseReceived(body).kind == "PetrolStationPublication") return body;
      }
      rig_->Tick();
    }
    return "";
  }

  PrivateServer server_;
  std::unique_ptr<ServiceRig> rig_;
};

class PriceChainFaultTest : public FaultDbTest,
                            public ::testing::WithParamInterface<SchedulerState> {};

TEST_P(PriceChainFaultTest, OwnRowsHoldEveryPriceWithHistoryAndARestartReportsThem) {
  const testing::PriceMap expected = ChangedPrices(7);
  ASSERT_EQ(expected.size(), static_cast<size_t>(kStations));
  testing::PriceMap stored = expected;
  stored["st-1"].e10 = "0.0";  // sold, no upstream price: stored as "no price", never NULL

  rig_->TickToPriceState(kReadPrices);
  ASSERT_NO_FATAL_FAILURE(LoseTheServerIn(GetParam()));
  rig_->TickUntilState(kReadPrices, 100);  // the next automatic price export
  rig_->TickUntilState(kIdle, 10);
  ASSERT_TRUE(rig_->running());

  auto db = server_.Connect();
  EXPECT_EQ(testing::PriceDifferences(stored, testing::StoredPrices(*db)), "")
      << "mts_petrolstation_price holds every changed price";
  EXPECT_EQ(testing::QueryRows(*db,
                               "select count(distinct station) from mts_petrolstation_price_"
                               "historie where ps_pricee5 is not null"),
            std::to_string(kStations))
      << "every station's row before the change is in the history";
  EXPECT_EQ(testing::QueryRows(*db,
                               "select count(*) from mts_petrolstation_price where "
                               "ps_pricee5 is null or ps_pricee10 is null or "
                               "ps_pricediesel is null or ps_pricee10_time is null"),
            "0")
      << "no row of the service's own holds what a start cannot read back";

  // A restart on the same database: the start reads the rows back without
  // failure and the first price publication carries every price.
  rig_.reset();
  // The new rig is another program directory, so another instance: it
  // reports once the first one's reporter lease has run out.
  db->Execute("update velunor_lease set expires = utc_timestamp() - interval 1 second");
  ASSERT_NO_FATAL_FAILURE(StartRig());
  EXPECT_TRUE(rig_->ErrorLines().empty()) << Joined(rig_->ErrorLines());
  rig_->RunPriceExport();
  EXPECT_EQ(testing::PriceDifferences(expected, testing::PublishedPrices(rig_->LastRequest())), "");
}

INSTANTIATE_TEST_SUITE_P(State, PriceChainFaultTest,
                         ::testing::Values(kReadPrices, kStorePrices, kBuildPriceLines,
                                           kBuildPricePublication, kWrapPricePublication,
                                           kTransmit));

class StationChainFaultTest : public FaultDbTest,
                              public ::testing::WithParamInterface<SchedulerState> {};

TEST_P(StationChainFaultTest, AbandonedStationDataGoOutAtTheNextChangeCheck) {
  {
    auto db = server_.Connect();
    db->Execute("update lox_station set name1 = 'Neuer Name' where station = 3");
    db->Execute("update lox_station_mts set status = 2 where station = 3");
  }
  const int requests = rig_->sim().RequestCount();
  rig_->window().scheduler().SetTaktZaehler(79);
  rig_->Tick();  // the change check finds station 3
  ASSERT_EQ(rig_->window().scheduler().state(), kBuildStationLines);
  ASSERT_NO_FATAL_FAILURE(LoseTheServerIn(GetParam()));
  EXPECT_EQ(rig_->sim().RequestCount(), requests) << "the station publication was abandoned";

  // Idle again; the next cycle's change check sends the station anew.
  const std::string body = NextStationPublication(requests, 250);
  ASSERT_FALSE(body.empty()) << "no station publication after the reconnect; error log:\n"
                             << Joined(rig_->ErrorLines());
  const testing::ReceivedPublication sent = testing::ParseReceived(body);
  ASSERT_EQ(sent.stations.count("st-3"), 1u);
  EXPECT_TRUE(sent.stations.at("st-3").starts_with("v")) << sent.stations.at("st-3");
  EXPECT_TRUE(Contains(sent.stations.at("st-3"), "Neuer Name"));
  rig_->TickUntilState(kIdle, 20);
  auto db = server_.Connect();
  EXPECT_EQ(rig_->TransferLogCount(*db, 0), 2) << "the first and the re-sent station publication";
  EXPECT_TRUE(rig_->state().db.delivery.pending.empty()) << "nothing waits any more";
}

// Stopped before kBuildStationLines: the station lines cannot be read. Stopped
// before kBuildStationPublication: the publication number cannot be stored,
// and the chain is abandoned in kWrapStationPublication.
INSTANTIATE_TEST_SUITE_P(State, StationChainFaultTest,
                         ::testing::Values(kBuildStationLines, kBuildStationPublication));

// A server that stops answering (a frozen process, a half-open connection)
// is noticed within the statement time-out as a lost connection, and the
// service reports again once it answers.
TEST_F(FaultDbTest, FrozenServerIsNoticedWithinTheBoundAndThePricesGoOutWhenItAnswers) {
  const testing::PriceMap expected = ChangedPrices(3);
  rig_->TickToPriceState(kStorePrices);
  server_.Freeze();
  const auto frozen = std::chrono::steady_clock::now();
  rig_->Tick();  // stores the prices: the first statement waits for its time-out
  const auto noticed = std::chrono::steady_clock::now() - frozen;
  rig_->Tick();
  // A quick tick means the store had nothing to write: the log says why.
  EXPECT_EQ(rig_->window().scheduler().state(), WaitingForDatabase(1))
      << Joined(rig_->ErrorLines());
  RecordProperty(
      "seconds_to_notice",
      static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(noticed).count()));
  EXPECT_LT(noticed, std::chrono::seconds(40)) << "a 30 s read time-out, not TCP's 15 minutes";
  EXPECT_GE(noticed, std::chrono::seconds(25)) << "the time-out, not an error of its own";

  // A reconnect against the frozen server fails within the connect time-out.
  rig_->TickUntilState(kReconnect, 20);
  const auto attempt = std::chrono::steady_clock::now();
  rig_->Tick();
  EXPECT_LT(std::chrono::steady_clock::now() - attempt, std::chrono::seconds(20));
  EXPECT_EQ(rig_->window().scheduler().state(), kWaitForDatabase);

  server_.Thaw();
  rig_->TickUntilState(kIdle, 20);
  rig_->TickUntilState(kReadPrices, 100);
  rig_->TickUntilState(kIdle, 10);
  ASSERT_TRUE(rig_->running());
  EXPECT_EQ(testing::PriceDifferences(expected, testing::PublishedPrices(rig_->LastRequest())), "");
  auto db = server_.Connect();
  testing::PriceMap stored = expected;
  stored["st-1"].e10 = "0.0";
  EXPECT_EQ(testing::PriceDifferences(stored, testing::StoredPrices(*db)), "");
}

// Master data that cannot be read (here a table gone; under faults a cut or
// frozen connection) end the start with the failure logged, not with the
// message for a setting the operator left out.
TEST(FaultDbStartTest, AnUnreadableMasterDataTableIsNoMissingSetting) {
  PrivateServer server;
  auto db = server.Connect();
  testing::SeedStationNetwork(*db, 2);
  db->Execute("rename table stammdaten to stammdaten_away");
  ServiceRig rig({.db_server = server.Server()});
  EXPECT_FALSE(rig.Start());
  EXPECT_EQ(rig.front_end().messages,
            std::vector<std::string>{"Fehler beim Programmstart - wird beendet"});
  EXPECT_TRUE(Contains(Joined(rig.ErrorLines()), "DB_LOXStammdaten / "));
}

// Connects as the service does (its time-outs and session limits) through `relay`.
bool ConnectThrough(const testing::TcpCutter& relay, DbState& db) {
  return testing::ConnectAsTestAccount(db, "127.0.0.1:" + std::to_string(relay.port())).ok();
}

// A connection cut in front of the server ends there too, also when a
// process was started while it was open (as the fault schedule starts and
// restarts instances): its open transaction is rolled back and frees its
// locks at once, and the client notices at its next statement, not after
// its read time-out. A process that kept the relay's sockets would keep
// the cut connection alive, lease row lock and all, for as long as it runs.
TEST(FaultDbCutTest, ACutConnectionEndsAtTheServerThoughAProcessStartedMeanwhile) {
  PrivateServer server;
  testing::TcpCutter relay(server.port(), testing::TcpCutter::Mode::kPass);
  testing::TestEnv t;
  DbState cut(t.env);
  ASSERT_TRUE(ConnectThrough(relay, cut));
  cut.db().Execute("start transaction");
  cut.db().Execute("insert into stammdaten (id, value) values (900, 'held')");

  const testing::TempDir dir;
  const pid_t started = testing::Spawn({"/bin/sleep", "120"},
                                       {dir.path() / "out.txt", dir.path() / "err.txt", {}, -1});
  ASSERT_GT(started, 0);
  const testing::OnExit reap([&] {
    kill(started, SIGKILL);
    waitpid(started, nullptr, 0);
  });
  relay.CutOpenConnections();

  auto other = server.Connect();
  other->Execute("set session innodb_lock_wait_timeout = 5");
  const auto [refused, why] = testing::FailureOf(
      [&] { other->Execute("insert into stammdaten (id, value) values (900, 'free')"); });
  ASSERT_EQ(refused, 0) << "the cut transaction still holds its lock: " << why;
  EXPECT_EQ(testing::QueryRows(*other, "select value from stammdaten where id = 900"), "free");

  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(testing::FailureOf([&] { cut.db().Execute("commit"); }).first, kErrConnectionLost)
      << "the commit of a cut connection fails as lost";
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5))
      << "noticed at once, not after the read time-out";
}

// The bulk command of a parameter array on a connection that hangs ends
// within the read time-out as a lost connection, as any statement does: the
// batch is given up with one entry in the error log, nothing more is sent
// on the connection, and the server keeps none of the array's rows.
TEST(FaultDbCutTest, ABulkCommandThatHangsEndsAsALostConnectionWithinTheTimeOut) {
  PrivateServer server;
  testing::TcpCutter relay(server.port(), testing::TcpCutter::Mode::kPass);
  // The piece that starts with the server's bulk command (COM_STMT_BULK_EXECUTE)
  // reaches the server; its answer never comes back.
  relay.SetClientTap([&](const char* data, size_t size) {
    if (size > 4 && static_cast<unsigned char>(data[4]) == 0xFA) relay.SetFrozen(true);
  });
  testing::TestEnv t;
  DbState db(t.env);
  ASSERT_TRUE(ConnectThrough(relay, db));
  std::vector<DbValue> rows;
  for (long s = 1; s <= 20; ++s) {
    rows.insert(rows.end(), {std::to_string(s), "2", "1.659", "2026-12-05T10:00:00+01:00",
                             std::nullopt, std::nullopt, std::nullopt, std::nullopt});
  }
  Procedure p(t.env.log, "Test");
  const auto before = std::chrono::steady_clock::now();
  const BatchResult result = WriteInOneTransaction(db, p, [&](BatchWriter& w) {
    w.ExecuteRows({"insert into mts_petrolstation_price values ", MarkerRow(8), ""}, rows);
  });
  const auto waited = std::chrono::steady_clock::now() - before;
  EXPECT_TRUE(relay.frozen()) << "the rows went as one bulk command";
  EXPECT_EQ(result, BatchResult::kConnectionLost);
  EXPECT_GE(waited, std::chrono::seconds(25)) << "the read time-out, not an error of its own";
  EXPECT_LT(waited, std::chrono::seconds(40)) << "a 30 s read time-out, not TCP's 15 minutes";
  EXPECT_TRUE(db.db().broken()) << "the next statement must not wait again";
  const std::vector<std::string> errors = t.ErrorLines();
  ASSERT_EQ(errors.size(), 1u) << Joined(errors);
  EXPECT_TRUE(Contains(errors[0], "--> Test / -2147467259 / "));
  EXPECT_TRUE(Contains(errors[0], "insert into mts_petrolstation_price values ( ?"));

  db.DbVerbindung.reset();
  relay.SetFrozen(false);
  auto other = server.Connect();
  other->Execute("set session innodb_lock_wait_timeout = 5");
  other->Execute("insert into mts_petrolstation_price (station) values (1)");
  EXPECT_EQ(testing::QueryRows(*other, "select count(*) from mts_petrolstation_price"), "1")
      << "the bulk command's rows were rolled back, not committed or left locked";
}

}  // namespace
}  // namespace velunor
