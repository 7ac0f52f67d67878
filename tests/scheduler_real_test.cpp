// The main timer's state machine on the real procedures: the Scheduler driven
// tick by tick on a fake clock, with the service's whole process state over
// the private MariaDB (the small station network) and every transmission
// over TLS to the endpoint simulator. Each case checks what the database and
// the simulator saw, not only the state numbers.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "service/common/failure.h"
#include "service/core/markt_transp.h"
#include "tests/expect_text.h"
#include "tests/rig_test.h"
#include "tests/small_network.h"

namespace velunor {
namespace {

using testing::FakeFrontEnd;
using testing::MdmSim;
using testing::ReceivedPublication;
using testing::ServiceRig;
using testing::TempDir;

constexpr const char* kAt0905 = "06.12.2026 09:05:00";

class SchedulerRealTest : public testing::RigTest {
 protected:
  // The program's first start, and a new program run on the same files.
  void Start() { rig_->Start(); }
  void Restart() { rig_->Restart(); }

  // Starts with the network's two changed stations pending and ticks until
  // the first station and price publications are acknowledged.
  void StartAndSendFirstPublications() {
    Start();
    ASSERT_EQ(State(), kBuildStationLines)
        << "changed stations at start go straight to the station chain";
    ASSERT_TRUE(fe().timer);
    ASSERT_TRUE(fe().messages.empty()) << fe().messages.front();
    Tick(10);  // the station chain and its transmission, then the price chain
    ASSERT_EQ(State(), kIdle);
    ASSERT_EQ(sim().Kinds(), "GP");
  }

  // The next tick starts an export of every reporting station, though none
  // changed (`why` on the status line); the chain sends it as request `number`.
  void WholeStationExport(const std::string& why, int number) {
    Tick();
    EXPECT_EQ(Info(), At(why));
    EXPECT_EQ(State(), kPrepareStations);
    Tick(5);  // the station chain and its transmission
    ASSERT_EQ(sim().RequestCount(), number);
    EXPECT_EQ(Received(number).kind, "PetrolStationPublication");
    EXPECT_EQ(Received(number).stations.size(), 2u) << "all reporting stations";
  }

  void Tick(int n = 1) { rig_->Tick(n); }
  // The tick counter set to `counter`, then `n` ticks.
  void TickFromCounter(int counter, int n = 1) {
    w().scheduler().SetTaktZaehler(counter);
    Tick(n);
  }
  MarktTransp& w() { return rig_->window(); }
  SchedulerState State() { return w().scheduler().state(); }
  SchedulerVariables Snapshot() { return w().scheduler().Snapshot(); }
  FakeFrontEnd& fe() { return rig_->front_end(); }
  MdmSim& sim() { return rig_->sim(); }
  WindowModel& model() { return rig_->model(); }
  ProcessState& state() { return rig_->state(); }
  FakeClock& clock() { return rig_->clock(); }

  std::string Info() { return model().info(); }
  // The status line `text` at the fake clock's start.
  static std::string At(const std::string& text) { return std::string(kAt0905) + " " + text; }
  std::string Rows(const std::string& sql) { return testing::QueryRows(*sql_, sql); }
  ReceivedPublication Received(int number) { return sim().Received(number); }
  std::string TransferLog() {
    return Rows("select log_code from mts_petrolstation_log order by log_id");
  }
  // "station,status" of every upstream MTS-K row.
  std::string UpstreamStatus() {
    return Rows("select station, status from lox_station_mts order by station");
  }
  std::string StoredPrice(int station, const std::string& column) {
    return testing::StoredPrice(*sql_, station, column);
  }
  void MarkChanged(int station) {
    sql_->Execute("update lox_station_mts set status = 2 where station = " +
                  std::to_string(station));
  }
  std::string ServiceConnectionId() {
    return testing::QueryRows(state().db.db(), "select connection_id()");
  }
  std::vector<std::string> ErrorLines() const { return rig_->ErrorLines(); }

  std::unique_ptr<ServiceRig> rig_ = std::make_unique<ServiceRig>(ServiceRig::Options{});
};

TEST_F(SchedulerRealTest, ChangeCheckAt80NothingAt90AutomaticPriceExportAt91) {
  ASSERT_NO_FATAL_FAILURE(StartAndSendFirstPublications());
  EXPECT_EQ(Snapshot().TaktZaehler, 10) << "the counter counts from the start on, chains included";
  testing::SetUpstreamPrice(*sql_, 1, 3, "1.549");

  Tick(69);
  EXPECT_EQ(Snapshot().TaktZaehler, 79);
  EXPECT_EQ(Info(), At("Warten auf Auftrag"));
  Tick();
  EXPECT_EQ(Info(), At("Prüfung auf geänderte Stationsdaten"));
  EXPECT_EQ(State(), kIdle) << "no station changed";
  EXPECT_EQ(Rows("select station, ps_version from mts_petrolstation order by station"),
            "1,4 | 2,2");
  Tick(10);
  EXPECT_EQ(Snapshot().TaktZaehler, 90);
  EXPECT_EQ(State(), kIdle) << "90 does not start the price export yet";
  EXPECT_EQ(sim().RequestCount(), 2);
  Tick();
  EXPECT_EQ(State(), kReadPrices);
  EXPECT_EQ(Snapshot().TaktZaehler, 0);
  EXPECT_EQ(Info(), At("Automatischer Preisdatenexport"));

  Tick(6);  // the price chain and its transmission
  EXPECT_EQ(State(), kIdle);
  EXPECT_EQ(Snapshot().TaktZaehler, 6);
  ASSERT_EQ(sim().RequestCount(), 3);
  const ReceivedPublication prices = Received(3);
  EXPECT_EQ(prices.kind, "FuelPricePublication");
  EXPECT_EQ(prices.Price("id-0001", "Diesel"), "1.549") << "the upstream change was reported";
  EXPECT_EQ(prices.Price("id-0002", "Diesel"), "1.599");
  EXPECT_EQ(prices.prices.count("id-0003"), 0u) << "a station that does not report";
  EXPECT_EQ(StoredPrice(1, "ps_pricediesel"), "1.549");
  EXPECT_EQ(TransferLog(), "0 | 1 | 1");
  EXPECT_EQ(model().label1(5), kAt0905);

  // The next cycle's change check finds a renamed station and sends it.
  sql_->Execute("update lox_station set name1 = 'Autohof Göppingen Süd' where station = 2");
  MarkChanged(2);
  Tick(73);
  EXPECT_EQ(UpstreamStatus(), "1,1 | 2,2 | 3,1") << "not examined before 80";
  Tick();
  EXPECT_EQ(State(), kBuildStationLines) << "the stations are already prepared, 30 is skipped";
  EXPECT_EQ(Info(), At("Verarbeitung geänderte Stationsdaten"));
  EXPECT_EQ(UpstreamStatus(), "1,1 | 2,1 | 3,1");
  Tick(4);  // the station chain from its lines on, and its transmission
  ASSERT_EQ(sim().RequestCount(), 4);
  const ReceivedPublication stations = Received(4);
  EXPECT_EQ(stations.kind, "PetrolStationPublication");
  EXPECT_EQ(stations.stations.at("id-0002"), "v3 Autohof Göppingen Süd, Stuttgarter Str. 150a");
  EXPECT_EQ(stations.stations.at("id-0001"), "v4 Tankstelle Müller, Hauptstraße 12");
  EXPECT_EQ(State(), kReadPrices) << "a successful station transmission leads into a price chain";
  EXPECT_TRUE(ErrorLines().empty()) << ErrorLines().front();
}

TEST_F(SchedulerRealTest, BaseExportsWhenBothPublicationNumbersStandAtZero) {
  ASSERT_NO_FATAL_FAILURE(StartAndSendFirstPublications());
  const std::string zero_numbers = "update stammdaten set value = '2026-0' where id in (133, 134)";
  sql_->Execute(zero_numbers);

  // Success: the station transmission leads into a price chain that gives
  // the price publication its first number, so no base price export follows.
  Restart();
  ASSERT_EQ(State(), kIdle);
  ASSERT_NO_FATAL_FAILURE(WholeStationExport("Grund-Stationsdatenexport aktiviert", 3));
  EXPECT_EQ(model().label1(4), kAt0905);
  EXPECT_EQ(State(), kReadPrices);
  Tick(6);
  ASSERT_EQ(sim().RequestCount(), 4);
  EXPECT_EQ(Received(4).kind, "FuelPricePublication");
  EXPECT_EQ(Rows("select id, value from stammdaten where id in (133, 134) order by id"),
            "133,2026-1 | 134,2026-1");
  Tick();
  EXPECT_EQ(State(), kIdle);
  EXPECT_EQ(Info(), At("Warten auf Auftrag"));
  EXPECT_EQ(TransferLog(), "0 | 1 | 0 | 1");

  // Failure: the refused station transmission starts no price chain; the
  // next idle tick starts the base price export without reading the prices.
  sql_->Execute(zero_numbers);
  sim().SetOutcomes({"refuse:Zertifikat unbekannt", "ack"});
  Restart();
  Tick(6);  // idle to kPrepareStations, the station chain, its transmission
  ASSERT_EQ(sim().RequestCount(), 5);
  EXPECT_EQ(Received(5).kind, "PetrolStationPublication");
  EXPECT_EQ(model().label1(6), std::string("!! ") + kAt0905 + " !!");
  EXPECT_EQ(TransferLog(), "0 | 1 | 0 | 1 | 100");
  EXPECT_EQ(State(), kIdle) << "a failed station transmission starts no price chain";
  Tick();
  EXPECT_EQ(Info(), At("Grund-Preisdatenexport aktiviert"));
  EXPECT_EQ(State(), kStorePrices);
  EXPECT_EQ(Snapshot().TaktZaehler, -1);
  EXPECT_EQ(sim().RequestCount(), 5);
  Tick(5);  // the price chain from kStorePrices on, and its transmission
  ASSERT_EQ(sim().RequestCount(), 6);
  const ReceivedPublication prices = Received(6);
  EXPECT_EQ(prices.kind, "FuelPricePublication");
  EXPECT_EQ(prices.Price("id-0001", "E5"), testing::InitialPrice(1, 1));
  EXPECT_EQ(prices.Price("id-0002", "E10"), testing::InitialPrice(2, 2));
  EXPECT_EQ(TransferLog(), "0 | 1 | 0 | 1 | 100 | 1");
  EXPECT_EQ(Rows("select value from stammdaten where id = 134"), "2026-1");
  EXPECT_EQ(State(), kIdle);
}

TEST_F(SchedulerRealTest, FailedTransmissionsAreLoggedAndStartNothing) {
  ASSERT_NO_FATAL_FAILURE(StartAndSendFirstPublications());
  sim().SetOutcomes({"http:503"});
  MarkChanged(1);
  TickFromCounter(79);
  ASSERT_EQ(State(), kBuildStationLines);
  Tick(4);  // the station chain from its lines on, and its transmission
  ASSERT_EQ(sim().RequestCount(), 3);
  EXPECT_EQ(Received(3).kind, "PetrolStationPublication");
  EXPECT_EQ(TransferLog(), "0 | 1 | 100");
  EXPECT_EQ(model().label1(6), std::string("!! ") + kAt0905 + " !!");
  EXPECT_EQ(State(), kIdle) << "no price chain after a failed station transmission";
  Tick();
  EXPECT_EQ(State(), kIdle);
  EXPECT_EQ(sim().RequestCount(), 3);

  testing::SetUpstreamPrice(*sql_, 2, 1, "1.749");
  TickFromCounter(90, 7);  // idle to kReadPrices, then the price chain and its transmission
  ASSERT_EQ(sim().RequestCount(), 4);
  EXPECT_EQ(Received(4).Price("id-0002", "E5"), "1.749");
  EXPECT_EQ(TransferLog(), "0 | 1 | 100 | 200");
  EXPECT_EQ(model().label1(7), std::string("!! ") + kAt0905 + " !!");
  EXPECT_EQ(model().label1(5), kAt0905) << "the last success stays shown";
  EXPECT_EQ(State(), kIdle);
  EXPECT_EQ(model().list1().front().substr(9),
            "Beginning transaction to the MDM-Server (Pricedata)")
      << "the list shows the last transmission only";
}

TEST_F(SchedulerRealTest, ChangeCheckAt2305SendsPendingChangesBeforeTheNightlyRefresh) {
  clock().Set(DateTime{2026, 12, 6, 23, 5, 0});
  ASSERT_NO_FATAL_FAILURE(StartAndSendFirstPublications());
  MarkChanged(1);
  TickFromCounter(79);
  EXPECT_EQ(State(), kBuildStationLines) << "pending changes first";
  EXPECT_EQ(Snapshot().NachtlaufErledigt, 0);
  EXPECT_EQ(UpstreamStatus(), "1,1 | 2,1 | 3,1") << "no nightly refresh";
  Tick(10);
  ASSERT_EQ(State(), kIdle);
  ASSERT_EQ(sim().RequestCount(), 4);

  clock().Set(DateTime{2026, 12, 6, 23, 7, 0});
  TickFromCounter(79);
  EXPECT_EQ(Snapshot().NachtlaufErledigt, 1);
  EXPECT_EQ(State(), kIdle);
  EXPECT_EQ(UpstreamStatus(), "1,2 | 2,2 | 3,1") << "every reporting station marked as changed";
  EXPECT_EQ(sim().RequestCount(), 4) << "sent at the next change check, not now";

  TickFromCounter(79);
  EXPECT_EQ(State(), kBuildStationLines);
  Tick(4);
  ASSERT_EQ(sim().RequestCount(), 5);
  const ReceivedPublication refreshed = Received(5);
  EXPECT_EQ(refreshed.stations.at("id-0001"), "v6 Tankstelle Müller, Hauptstraße 12");
  EXPECT_EQ(refreshed.stations.at("id-0002"), "v3 Autohof Göppingen, Stuttgarter Str. 150a");
  Tick(6);
  ASSERT_EQ(State(), kIdle);

  clock().Set(DateTime{2026, 12, 6, 23, 9, 0});
  TickFromCounter(79);
  EXPECT_EQ(UpstreamStatus(), "1,1 | 2,1 | 3,1") << "once per night";
  clock().Set(DateTime{2026, 12, 7, 4, 30, 0});
  TickFromCounter(79);
  EXPECT_EQ(Snapshot().NachtlaufErledigt, 0) << "cleared in hour 04";
  EXPECT_EQ(UpstreamStatus(), "1,1 | 2,1 | 3,1");
  // The clock jumped five hours without a price export: the compliance
  // alarm is the only entry.
  for (const std::string& line : ErrorLines()) {
    EXPECT_TRUE(Contains(line, "--> Haupt_Timer_Timer / 0 / ALARM: "));
  }
}

TEST_F(SchedulerRealTest, LostConnectionDuringPriceStorageWaitsReconnectsAndLosesNothing) {
  ASSERT_NO_FATAL_FAILURE(StartAndSendFirstPublications());
  testing::SetUpstreamPrice(*sql_, 2, 2, "1.689");
  TickFromCounter(90, 2);  // idle to kReadPrices, which reads the new price
  ASSERT_EQ(State(), kStorePrices);
  const std::string killed = ServiceConnectionId();
  sql_->Execute("kill " + killed);

  Tick();  // kStorePrices: storing fails
  EXPECT_EQ(state().log.LetzterFehler(), kErrConnectionLost);
  const std::vector<std::string> errors = ErrorLines();
  ASSERT_FALSE(errors.empty());
  EXPECT_TRUE(Contains(errors.front(), "--> DB_Preisdaten / -2147467259 / "));
  for (int wait = 800; wait <= 815; ++wait) {
    Tick();
    EXPECT_EQ(Info(), At("DB-Verbindung verloren, warten... (" + std::to_string(wait) + ")"));
  }
  Tick();
  EXPECT_EQ(Info(), At("DB-Verbindung neu herstellen..."));
  // The first attempt finds no server; the wait starts again.
  const std::string server = state().config.station_ini.DbServer;
  state().config.station_ini.DbServer = "127.0.0.1:1";
  Tick();
  EXPECT_EQ(Info(), At("Immer noch keine DB-Verbindung möglich!"));
  EXPECT_EQ(State(), kWaitForDatabase);
  EXPECT_EQ(state().log.LetzterFehler(), 0) << "cleared before each attempt";
  state().config.station_ini.DbServer = server;
  Tick(17);
  EXPECT_EQ(State(), kReconnect);
  Tick();
  EXPECT_EQ(Info(), At("DB-Verbindung erfolgreich hergestellt!"));
  EXPECT_EQ(State(), kIdle);
  EXPECT_NE(ServiceConnectionId(), killed) << "a new connection";
  EXPECT_EQ(Snapshot().TaktZaehler, 38) << "the counter kept counting during the wait";

  Tick();
  EXPECT_EQ(State(), kIdle) << "the interrupted price chain is not resumed";
  EXPECT_EQ(Info(), At("Warten auf Auftrag"));
  EXPECT_EQ(sim().RequestCount(), 2);
  EXPECT_EQ(TransferLog(), "0 | 1");
  EXPECT_EQ(StoredPrice(2, "ps_pricee10"), testing::InitialPrice(2, 2));

  // The price read before the loss is still pending: the next export has it.
  TickFromCounter(90, 7);
  ASSERT_EQ(sim().RequestCount(), 3);
  EXPECT_EQ(Received(3).Price("id-0002", "E10"), "1.689");
  EXPECT_EQ(StoredPrice(2, "ps_pricee10"), "1.689");
  EXPECT_EQ(Rows("select ps_pricee10 from mts_petrolstation_price_historie where station = 2"),
            testing::InitialPrice(2, 2));
  EXPECT_EQ(TransferLog(), "0 | 1 | 1");
}

TEST_F(SchedulerRealTest, LpgExportWaitsForTheFirstIdleTickNoEarlierDecisionTakes) {
  const TempDir portal;  // the portal's folder, outside the program directory
  const std::filesystem::path lpg_file = portal.path() / "lpg" / "gas-preise.csv";
  std::filesystem::create_directories(lpg_file.parent_path());
  sql_->Execute("update stammdaten set value = '1' where id = 491");
  sql_->Execute("insert into stammdaten values (490, ?)", {lpg_file.string()});
  ASSERT_NO_FATAL_FAILURE(StartAndSendFirstPublications());
  EXPECT_EQ(Snapshot().LpgTaktZaehler, 10) << "counted on every tick";

  w().scheduler().SetLpgTaktZaehler(600);
  TickFromCounter(90);
  EXPECT_EQ(State(), kReadPrices) << "the automatic price export comes first";
  EXPECT_EQ(Snapshot().LpgTaktZaehler, 601);
  EXPECT_FALSE(std::filesystem::exists(lpg_file));
  for (int step = 1; step <= 6; ++step) {
    Tick();
    EXPECT_FALSE(std::filesystem::exists(lpg_file)) << "written during the chain, step " << step;
  }
  ASSERT_EQ(State(), kIdle);
  Tick();
  ASSERT_TRUE(std::filesystem::exists(lpg_file));
  EXPECT_EQ(Snapshot().LpgTaktZaehler, 0);
  const std::string csv = testing::ReadFile(lpg_file);
  EXPECT_TRUE(Contains(csv, "4711"));
  EXPECT_TRUE(Contains(csv, "0,899"));
  EXPECT_EQ(sim().RequestCount(), 3);
  EXPECT_TRUE(ErrorLines().empty()) << ErrorLines().front();
}

// A head-office path that names STATION.INI: the export leaves the file
// alone, says so once, and the prices go on being reported.
TEST_F(SchedulerRealTest, AnLpgPathAtStationIniLeavesItAloneAndPricesAreStillReported) {
  const std::filesystem::path ini = rig_->program_dir() / "STATION.INI";
  sql_->Execute("update stammdaten set value = '1' where id = 491");
  sql_->Execute("insert into stammdaten values (490, ?)", {ini.string()});
  ASSERT_NO_FATAL_FAILURE(StartAndSendFirstPublications());
  const std::string before = testing::ReadFile(ini);
  ASSERT_FALSE(before.empty());

  for (int run = 1; run <= 2; ++run) {
    w().scheduler().SetLpgTaktZaehler(600);
    Tick();
    EXPECT_EQ(Snapshot().LpgTaktZaehler, 0) << "the export ran";
  }
  EXPECT_EQ(testing::ReadFile(ini), before);
  const std::vector<std::string> errors = ErrorLines();
  ASSERT_EQ(errors.size(), 1u) << testing::Joined(errors);
  EXPECT_TRUE(
      Contains(errors[0], "Gas-Tankstelle-Export / 75 / Exportdatei '" + ini.string() +
                              "' für den Export Gas-Tankstelle liegt im Programmverzeichnis"));

  testing::SetUpstreamPrice(*sql_, 1, 1, "1.739");
  TickFromCounter(90, 7);
  ASSERT_EQ(sim().RequestCount(), 3);
  EXPECT_EQ(Received(3).Price("id-0001", "E5"), "1.739");
  EXPECT_EQ(ErrorLines().size(), 1u);
}

// The MTS-K moved its endpoint and redirects the old URLs to a server of the
// same CA: both publications are acknowledged there, and the error log
// names each move once a day.
TEST_F(SchedulerRealTest, AMovedEndpointReceivesBothPublicationsAndIsNamedOnceADay) {
  const TempDir there;
  MdmSim other(rig_->certs(), there.path(), {{"ack"}});
  const std::string moved = other.Url("/mdm/neu");
  sim().SetOutcomes({"redirect:" + moved});
  Start();
  Tick(10);
  ASSERT_EQ(State(), kIdle);
  ASSERT_EQ(other.RequestCount(), 2);
  EXPECT_EQ(other.Kinds(), "GP");
  EXPECT_EQ(TransferLog(), "0 | 1") << "both acknowledged";

  const auto told = [&](const std::string& url) {
    return testing::LinesWith(ErrorLines(), "Die MTS-K-Adresse " + url + " leitet nach " + moved +
                                                " um; bitte in Kestrin eintragen");
  };
  const std::string price_url = state().db.settings.UrlPreisdatenlieferung;
  EXPECT_EQ(told(state().db.settings.UrlGrunddatenlieferung), 1u) << testing::Joined(ErrorLines());
  EXPECT_EQ(told(price_url), 1u);
  rig_->RunPriceExport();
  EXPECT_EQ(other.RequestCount(), 3);
  EXPECT_EQ(told(price_url), 1u) << "once a day, not with every publication";
  clock().Advance(24 * 60 * 60);
  rig_->RunPriceExport();
  EXPECT_EQ(told(price_url), 2u) << "the next day again";
}

TEST_F(SchedulerRealTest, ManualTransferRunsStationsThenPricesThenEnablesTheButton) {
  ASSERT_NO_FATAL_FAILURE(StartAndSendFirstPublications());
  testing::SetUpstreamPrice(*sql_, 1, 1, "1.739");
  w().Command1_Click(2);
  EXPECT_EQ(Snapshot().ManuellAnforderung, kManualRequested);
  EXPECT_FALSE(model().button(2).enabled);

  ASSERT_NO_FATAL_FAILURE(WholeStationExport("Manueller Stationsdatenexport aktiviert", 3));
  Tick(6);
  ASSERT_EQ(sim().RequestCount(), 4);
  EXPECT_EQ(Received(4).Price("id-0001", "E5"), "1.739");
  EXPECT_FALSE(model().button(2).enabled);

  Tick();
  EXPECT_EQ(Info(), At("Manueller Preisdatenexport aktiviert"));
  EXPECT_EQ(State(), kReadPrices);
  EXPECT_EQ(Snapshot().TaktZaehler, -1);
  Tick(6);
  ASSERT_EQ(sim().RequestCount(), 5);
  EXPECT_EQ(Received(5).kind, "FuelPricePublication");
  EXPECT_FALSE(model().button(2).enabled) << "not before the idle tick after the chain";
  Tick();
  EXPECT_TRUE(model().button(2).enabled);
  EXPECT_EQ(Snapshot().ManuellAnforderung, kNoManualRequest);
  EXPECT_EQ(State(), kIdle);
  EXPECT_EQ(TransferLog(), "0 | 1 | 0 | 1 | 1");
  EXPECT_EQ(Rows("select id, value from stammdaten where id in (133, 134) order by id"),
            "133,2026-7 | 134,2026-10");
  EXPECT_TRUE(ErrorLines().empty()) << ErrorLines().front();
}

TEST_F(SchedulerRealTest, ExitDuringAChainWaitsForIdleThenUnloads) {
  ASSERT_NO_FATAL_FAILURE(StartAndSendFirstPublications());
  TickFromCounter(90, 2);
  ASSERT_EQ(State(), kStorePrices);
  w().Command1_Click(1);
  EXPECT_EQ(State(), kStorePrices) << "the exit button acts only while idle";
  EXPECT_EQ(model().button(1).caption, "Beenden");
  Tick(5);  // the price chain from kStorePrices on, and its transmission
  ASSERT_EQ(State(), kIdle);
  EXPECT_EQ(sim().RequestCount(), 3) << "the chain ran to its transmission";

  const std::string connection = ServiceConnectionId();
  w().Command1_Click(1);
  EXPECT_EQ(State(), kShutdown);
  EXPECT_EQ(model().button(1).caption, "Wird beendet!");
  EXPECT_FALSE(model().button(2).enabled);
  Tick();
  EXPECT_EQ(fe().exit_code, 0);
  EXPECT_TRUE(w().scheduler().unloaded());
  EXPECT_FALSE(model().visible());
  EXPECT_FALSE(fe().tray);
  EXPECT_EQ(state().db.DbVerbunden, 0);
  EXPECT_TRUE(testing::WaitUntil(
      [&] {
        return Rows("select count(*) from information_schema.processlist where id = " +
                    connection) == "0";
      },
      2))
      << "the server still has the service's connection";
  Tick(100);
  EXPECT_EQ(sim().RequestCount(), 3) << "no tick acts after the unload";
  EXPECT_EQ(TransferLog(), "0 | 1 | 1");
}

// STATION.INI counts as the start read it, also for a reconnect; Velunor.CFG
// as the last load of the master data read it (the start, a takeover), so
// that what an operator saves with Kestrin counts from the next load.
TEST_F(SchedulerRealTest, EachFileIsReadAgainOnlyAtItsMoment) {
  Start();
  const std::filesystem::path& dir = rig_->program_dir();
  testing::WriteStationIni(dir, "127.0.0.1:1", "niemand", "falsch");
  w().scheduler().EnterState(kReconnect);
  Tick();
  EXPECT_EQ(Info(), At("DB-Verbindung erfolgreich hergestellt!"))
      << "a reconnect uses the values of the start";

  const std::string url = "https://127.0.0.1:1/neu";
  testing::WriteSettings(dir, rig_->certs().client_subject, url, url);
  Tick(3);
  ServiceProcedures& procedures = rig_->service().procedures();
  EXPECT_NE(procedures.UrlPreisdatenlieferung(), url) << "not read between loads";
  procedures.DB_LOXStammdaten();
  EXPECT_EQ(procedures.UrlPreisdatenlieferung(), url);
  EXPECT_EQ(procedures.UrlGrunddatenlieferung(), url);
}

}  // namespace
}  // namespace velunor
