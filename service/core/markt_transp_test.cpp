#include "service/core/markt_transp.h"

#include <vector>

#include <gtest/gtest.h>

#include "service/common/fehler_log.h"
#include "tests/fake_front_end.h"
#include "tests/recording_procedures.h"
#include "tests/test_env.h"

namespace velunor {
namespace {

namespace fs = std::filesystem;

using testing::FakeFrontEnd;
using testing::RecordingProcedures;
using Lines = std::vector<std::string>;

class MarktTranspTest : public ::testing::Test {
 protected:
  void Start() { window_.Start(); }
  void Tick(int n = 1) { window_.Tick(n); }
  testing::TestEnv t_;
  FakeFrontEnd fe_;
  testing::WindowOnRecordings<> window_{t_, fe_};
  RecordingProcedures& procs_ = window_.procs;
  Configuration& config_ = window_.config;
  MarktTransp& w_ = window_.w;
  Scheduler& scheduler_ = w_.scheduler();
};

TEST_F(MarktTranspTest, StartRunsTheSequenceOnceAndArmsTheTimer) {
  Start();
  EXPECT_EQ(t_.window.caption(), "Datenübergabe an die Markttransparenzstelle");
  EXPECT_EQ(t_.window.text("clock"), "09:05:00 Uhr");
  EXPECT_EQ(t_.window.info(), "06.12.2026 09:05:00 Velunor erfolgreich gestartet");
  EXPECT_EQ(config_.station_ini.DbServer, "127.0.0.1:3306");
  EXPECT_EQ(config_.station_ini.DbPasswort, "geheim");
  EXPECT_EQ(procs_.calls, (Lines{"DB_Verbinden", "DB_LOXStammdaten", "XML_Init",
                                 "DB_Stationsdaten 0", "XML_Stationsdaten", "XML_Preisdaten"}));
  EXPECT_TRUE(fe_.timer);
  EXPECT_TRUE(fe_.tray);
  EXPECT_EQ(scheduler_.state(), kIdle);
  w_.Form_Activate();
  EXPECT_EQ(procs_.calls.size(), 6u) << "a second activation does nothing";
}

TEST_F(MarktTranspTest, AStationIniOthersCanReadIsWarnedAboutOnceAndTheStartGoesOn) {
  window_.WriteStationIni();
  fs::permissions(t_.dir.path() / "STATION.INI", fs::perms::group_read | fs::perms::others_read,
                  fs::perm_options::add);
  w_.Form_Load();
  w_.Form_Activate();
  ASSERT_EQ(fe_.notices.size(), 1u);
  EXPECT_EQ(fe_.notices[0], "Warnung: " + (t_.dir.path() / "STATION.INI").string() +
                                " enthält das Datenbank-Kennwort und ist für andere Konten "
                                "lesbar (Rechte 0644); bitte mit \"chmod 600\" schützen");
  EXPECT_EQ(fe_.notices[0].find("geheim"), std::string::npos);
  EXPECT_TRUE(fe_.timer) << "the start goes on";
  EXPECT_EQ(fe_.exit_code, -1);
  EXPECT_TRUE(t_.ErrorLines().empty());
}

TEST_F(MarktTranspTest, AbortedStartsSayWhyAndUnload) {
  w_.Form_Activate();  // no STATION.INI
  EXPECT_TRUE(fe_.messages.empty()) << "a missing station file shows no message box";
  ASSERT_EQ(fe_.notices.size(), 1u) << "but says why on standard error";
  EXPECT_NE(fe_.notices[0].find("STATION.INI' wurde nicht gefunden!"), std::string::npos);
  EXPECT_EQ(fe_.exit_code, 1);
  ASSERT_EQ(t_.ErrorLines().size(), 1u);
  EXPECT_NE(t_.ErrorLines()[0].find("Form_Activate / 0 / Die Datei '"), std::string::npos);
  EXPECT_NE(t_.ErrorLines()[0].find("STATION.INI' wurde nicht gefunden! / "), std::string::npos);
  EXPECT_TRUE(procs_.Called("DB_Trennen")) << "every end goes through the unload";
}

TEST_F(MarktTranspTest, UnreachableDatabaseAndLoggedStartErrorsEndTheStart) {
  procs_.connect_result = 0;
  Start();
  EXPECT_EQ(fe_.messages, Lines{"Keine Verbindung zur Datenbank möglich"});
  EXPECT_EQ(fe_.notices, Lines{"Datenbank meldet: SQLSTATE 28000, Fehler 1045: Access denied"})
      << "the driver's reason on standard error";
  EXPECT_TRUE(t_.ErrorLines().empty()) << "the error log stays empty";
  EXPECT_EQ(fe_.exit_code, 1);
  EXPECT_FALSE(procs_.Called("DB_LOXStammdaten"));

  FakeFrontEnd fe;
  testing::WindowOnRecordings<> failing(t_, fe);
  failing.procs.fail_master_data = true;
  failing.procs.station_changes = 2;
  failing.w.Form_Activate();
  EXPECT_TRUE(failing.procs.Called("XML_Preisdaten")) << "the later steps still run";
  EXPECT_TRUE(fe.timer);
  EXPECT_EQ(failing.w.scheduler().state(), kBuildStationLines);
  EXPECT_EQ(fe.messages, Lines{"Fehler beim Programmstart - wird beendet"});
  EXPECT_EQ(fe.notices, Lines{"Letzter Eintrag im Fehlerprotokoll: "
                              "DB_LOXStammdaten / 13 / Typen unverträglich / "});
  EXPECT_EQ(fe.exit_code, 1);
}

TEST_F(MarktTranspTest, TickCounterDrivesChangeCheckAndAutomaticPriceExport) {
  Start();
  procs_.calls.clear();
  Tick(79);
  EXPECT_FALSE(procs_.Called("DB_Stationsdaten 0"));
  Tick();  // the 80th tick
  EXPECT_TRUE(procs_.Called("DB_Stationsdaten 0"));
  EXPECT_EQ(scheduler_.state(), kIdle);
  Tick(10);  // the 90th
  EXPECT_EQ(scheduler_.state(), kIdle);
  Tick();  // the 91st
  EXPECT_EQ(scheduler_.state(), kReadPrices);
  EXPECT_EQ(scheduler_.Snapshot().TaktZaehler, 0);
  EXPECT_EQ(t_.window.info(), "06.12.2026 09:05:00 Automatischer Preisdatenexport");
  procs_.calls.clear();
  Tick(6);
  EXPECT_EQ(procs_.calls, (Lines{"DB_Get_MTS_StationsPreise", "DB_Preisdaten", "XML_Preisdaten",
                                 "XML_Out_Preise", "SOAPEnvelope", "KommLog %%%CLEAR%%%",
                                 "SOAPTransaction Pricedata https://preis <envelope/>",
                                 "DB_TransferLog 1 Preisdaten erfolgreich übertragen"}));
  EXPECT_EQ(t_.window.label1(5), "06.12.2026 09:05:00");
  EXPECT_EQ(scheduler_.state(), kIdle);
  EXPECT_EQ(scheduler_.Snapshot().TaktZaehler, 6) << "the counter kept counting during the chain";
}

TEST_F(MarktTranspTest, BaseExportsWhenNoSequenceExistsYet) {
  procs_.station_number = "";
  procs_.price_number = "2026-000000";
  Start();
  procs_.transaction_result = 1;
  Tick();
  EXPECT_EQ(scheduler_.state(), kPrepareStations);
  Tick(4);  // the station chain up to its transmission
  EXPECT_EQ(scheduler_.state(), kTransmit);
  procs_.station_number = "2026-000000";  // the failed station export
  Tick();
  EXPECT_EQ(t_.window.label1(6), "!! 06.12.2026 09:05:00 !!");
  EXPECT_TRUE(procs_.Called("DB_TransferLog 100 Fehler bei der Stationsdaten-Übertragung"));
  EXPECT_EQ(scheduler_.state(), kIdle) << "a failed station transmission starts no price chain";

  procs_.station_number = "2026-000001";
  procs_.calls.clear();
  Tick();
  EXPECT_EQ(t_.window.info(), "06.12.2026 09:05:00 Grund-Preisdatenexport aktiviert");
  EXPECT_EQ(procs_.calls, Lines{"AktuellePreiseZuordnen"});
  EXPECT_EQ(scheduler_.state(), kStorePrices) << "reading the prices is skipped";
  EXPECT_EQ(scheduler_.Snapshot().TaktZaehler, -1);
  Tick(5);  // the price chain from kStorePrices on, and its transmission
  EXPECT_TRUE(procs_.Called("DB_TransferLog 200 Fehler bei der Preisdaten-Übertragung"));
  EXPECT_EQ(t_.window.label1(7), "!! 06.12.2026 09:05:00 !!");
  EXPECT_EQ(scheduler_.state(), kIdle);
}

TEST_F(MarktTranspTest, SuccessfulStationTransmissionLeadsIntoAPriceChain) {
  Start();
  scheduler_.EnterState(kBuildStationLines);
  Tick(4);
  EXPECT_TRUE(procs_.Called("SOAPTransaction Stationdata https://grund <envelope/>"));
  EXPECT_EQ(t_.window.label1(4), "06.12.2026 09:05:00");
  EXPECT_EQ(scheduler_.state(), kReadPrices);
}

TEST_F(MarktTranspTest, NightlyRefreshRunsOnlyAfterPendingChangesAreSent) {
  Start();
  t_.clock.Set({2026, 12, 6, 23, 5, 0});
  procs_.station_changes = 1;
  scheduler_.SetTaktZaehler(79);
  Tick();
  EXPECT_EQ(scheduler_.state(), kBuildStationLines);
  EXPECT_FALSE(procs_.Called("RunNightlyRefresh"));
  scheduler_.EnterState(kIdle);
  procs_.station_changes = 0;
  scheduler_.SetTaktZaehler(79);
  Tick();
  EXPECT_TRUE(procs_.Called("RunNightlyRefresh"));
  EXPECT_EQ(scheduler_.Snapshot().NachtlaufErledigt, 1);
  procs_.calls.clear();
  scheduler_.SetTaktZaehler(79);
  Tick();
  EXPECT_FALSE(procs_.Called("RunNightlyRefresh")) << "once per night";
  t_.clock.Set({2026, 12, 7, 4, 30, 0});
  scheduler_.SetTaktZaehler(79);
  Tick();
  EXPECT_EQ(scheduler_.Snapshot().NachtlaufErledigt, 0);
}

TEST_F(MarktTranspTest, LostConnectionWaitsSixteenTicksAndReconnects) {
  Start();
  procs_.lose_connection_on_read = true;
  scheduler_.EnterState(kReadPrices);
  scheduler_.SetTaktZaehler(10);
  Tick();  // kReadPrices reports the lost connection
  EXPECT_EQ(scheduler_.state(), kStorePrices);
  Tick();
  EXPECT_EQ(t_.window.info(), "06.12.2026 09:05:00 DB-Verbindung verloren, warten... (800)");
  EXPECT_EQ(scheduler_.state(), WaitingForDatabase(1));
  Tick(15);
  EXPECT_EQ(t_.window.info(), "06.12.2026 09:05:00 DB-Verbindung verloren, warten... (815)");
  Tick();
  EXPECT_EQ(t_.window.info(), "06.12.2026 09:05:00 DB-Verbindung neu herstellen...");
  procs_.connect_result = 0;
  Tick();
  EXPECT_EQ(t_.window.info(), "06.12.2026 09:05:00 Immer noch keine DB-Verbindung möglich!");
  EXPECT_EQ(scheduler_.state(), kWaitForDatabase);
  EXPECT_EQ(t_.log.LetzterFehler(), 0);
  procs_.connect_result = 1;
  Tick(18);
  EXPECT_EQ(t_.window.info(), "06.12.2026 09:05:00 DB-Verbindung erfolgreich hergestellt!");
  EXPECT_EQ(scheduler_.state(), kIdle) << "the interrupted chain is not resumed";
  EXPECT_EQ(scheduler_.Snapshot().TaktZaehler, 47) << "the counter kept counting during the wait";
}

// Under a lease, with a connection that can be made to go at a step's end
// and to come back later.
struct LeasedProcedures : RecordingProcedures {
  int LeaseSeconds() override { return 60; }
  Status EndLeasedStep(bool* held) override {
    *held = true;
    if (!lose_at_step_end) return Status();
    lose_at_step_end = false;
    return Status::Error(kErrConnectionLost, "gone");
  }
  Status DB_LOXStammdaten() override {
    ++master_data_reads;
    if (!lose_in_master_data) return Call("DB_LOXStammdaten");
    lose_in_master_data = false;
    return Logged(kErrConnectionLost, "gone", "DB_LOXStammdaten");
  }
  Status DB_Stationsdaten(int mode, int* changed) override {
    ++station_syncs;
    if (conflicts_in_station_sync == 0) return RecordingProcedures::DB_Stationsdaten(mode, changed);
    --conflicts_in_station_sync;
    *changed = 0;
    return Logged(1213, "Deadlock found when trying to get lock", "DB_Get_MTS_Stationskraftstoffe");
  }
  void AbandonLeasedStep() override { ++abandoned_steps; }
  bool lose_at_step_end = false;
  bool lose_in_master_data = false;
  int master_data_reads = 0;
  int conflicts_in_station_sync = 0;
  int station_syncs = 0;
  int abandoned_steps = 0;
};

TEST_F(MarktTranspTest, AWriteConflictInTheStartsStepRunsTheStartAgainInsteadOfEndingIt) {
  FakeFrontEnd fe;
  testing::WindowOnRecordings<LeasedProcedures> leased(t_, fe);
  LeasedProcedures& procs = leased.procs;
  // Once in the start and once in the resume that follows it.
  procs.conflicts_in_station_sync = 2;
  leased.Start();
  EXPECT_EQ(fe.exit_code, -1) << testing::Joined(fe.messages);
  EXPECT_EQ(procs.abandoned_steps, 1) << "what the step wrote after the conflict is rolled back";
  leased.Tick();
  EXPECT_EQ(procs.station_syncs, 2) << "the first tick runs the start's steps again";
  EXPECT_EQ(procs.abandoned_steps, 2);
  leased.Tick();
  EXPECT_EQ(procs.station_syncs, 3);
  EXPECT_EQ(procs.abandoned_steps, 2);
  EXPECT_EQ(fe.exit_code, -1) << testing::Joined(fe.messages);
  EXPECT_TRUE(fe.messages.empty()) << testing::Joined(fe.messages);
  EXPECT_EQ(t_.ErrorLines().size(), 2u) << "each conflict is logged";
  EXPECT_EQ(leased.w.scheduler().state(), kIdle);
}

TEST_F(MarktTranspTest, AResumeWaitsForTheDatabaseInsteadOfEndingTheProgram) {
  FakeFrontEnd fe;
  testing::WindowOnRecordings<LeasedProcedures> leased(t_, fe);
  LeasedProcedures& procs = leased.procs;
  leased.Start();
  ASSERT_EQ(procs.master_data_reads, 1);
  // The connection goes between the tick's work and the step's commit: the
  // database rolled the step back, so the start has to run again on it.
  procs.lose_at_step_end = true;
  procs.connect_result = 0;
  leased.Tick();
  leased.Tick(40);  // waiting, the reconnect refused twice
  EXPECT_EQ(fe.exit_code, -1) << testing::Joined(fe.messages);
  EXPECT_EQ(procs.master_data_reads, 1) << "nothing is read on a dead connection";
  EXPECT_TRUE(IsWaitingForDatabase(leased.w.scheduler().state()));

  // Back, but gone again inside the resume: waited out once more.
  procs.connect_result = 1;
  procs.lose_in_master_data = true;
  const auto tick_until_read = [&](int reads) {
    for (int i = 0; i < 40 && procs.master_data_reads < reads; ++i) leased.Tick();
    return procs.master_data_reads == reads;
  };
  ASSERT_TRUE(tick_until_read(2));
  leased.Tick();
  EXPECT_EQ(fe.exit_code, -1) << testing::Joined(fe.messages);
  EXPECT_TRUE(IsWaitingForDatabase(leased.w.scheduler().state()));
  EXPECT_TRUE(tick_until_read(3)) << "resumed once the connection is back";
  EXPECT_EQ(fe.exit_code, -1) << testing::Joined(fe.messages);
  EXPECT_EQ(leased.w.scheduler().state(), kIdle);
  EXPECT_TRUE(fe.messages.empty()) << testing::Joined(fe.messages);
}

TEST_F(MarktTranspTest, ShutdownRequestsWaitForAChainButNotForALostConnection) {
  Start();
  scheduler_.EnterState(kBuildPriceLines);
  EXPECT_FALSE(w_.RequestShutdown()) << "a running chain finishes first";
  EXPECT_EQ(scheduler_.state(), kBuildPriceLines);
  scheduler_.EnterState(WaitingForDatabase(5));  // waiting for the database
  w_.Command1_Click(1);
  EXPECT_EQ(scheduler_.state(), WaitingForDatabase(5)) << "the button keeps its rule";
  EXPECT_TRUE(w_.RequestShutdown()) << "the service manager's stop does not wait for the server";
  EXPECT_EQ(t_.window.button(1).caption, "Wird beendet!");
  Tick();
  EXPECT_EQ(fe_.exit_code, 0);
  EXPECT_TRUE(procs_.Called("DB_Trennen"));

  // The failed reconnect says why on standard error, once per reason.
  FakeFrontEnd fe;
  testing::WindowOnRecordings<> second(t_, fe);
  second.w.Form_Activate();
  second.procs.connect_result = 0;
  for (int attempt = 0; attempt < 2; ++attempt) {
    second.w.scheduler().EnterState(kReconnect);
    second.Tick();
    EXPECT_EQ(second.w.scheduler().state(), kWaitForDatabase);
  }
  EXPECT_EQ(fe.notices, Lines{"Datenbank meldet: SQLSTATE 28000, Fehler 1045: Access denied"});
}

TEST_F(MarktTranspTest, StationDataCountAsDeliveredOnlyWhenAcknowledged) {
  Start();
  procs_.transaction_result = 1;
  scheduler_.EnterState(kBuildStationLines);
  Tick(4);
  EXPECT_FALSE(procs_.Called("StationPublicationAcknowledged"));
  procs_.transaction_result = 0;
  scheduler_.EnterState(kBuildStationLines);
  Tick(4);
  EXPECT_TRUE(procs_.Called("StationPublicationAcknowledged"));
  EXPECT_EQ(scheduler_.state(), kReadPrices);
}

// Five minutes without an acknowledged price publication, or with station
// data waiting for one, raise the alarm; the acknowledgement clears it. Each
// change is one error-log entry that does not count as the last error, one
// line on standard error and the window's alarm line.
TEST_F(MarktTranspTest, ComplianceAlarmRisesAfterFiveMinutesAndClearsOnAcknowledgement) {
  Start();
  procs_.transaction_result = 1;
  auto second = [&] {
    t_.clock.Advance(1);
    Tick();
  };
  for (int i = 0; i < 300; ++i) second();
  EXPECT_EQ(t_.window.alarm(), "") << "five minutes are allowed";
  EXPECT_TRUE(fe_.notices.empty());
  second();
  const std::string alarm =
      "ALARM: Seit 06.12.2026 09:05:00 keine Preisdaten von der MTS-K bestätigt (Meldefrist 5 "
      "Minuten)";
  EXPECT_EQ(t_.window.alarm(), alarm);
  EXPECT_EQ(fe_.notices, Lines{alarm});
  ASSERT_EQ(t_.ErrorLines().size(), 1u);
  EXPECT_EQ(t_.ErrorLines()[0], "12-06-2026 09:10:01 --> Haupt_Timer_Timer / 0 / " + alarm + " / ");
  EXPECT_EQ(t_.log.LetzterFehler(), 0) << "an alarm is no error of a step";
  for (int i = 0; i < 60; ++i) second();
  EXPECT_EQ(fe_.notices.size(), 1u) << "raised once";

  // Station data wait as well.
  procs_.stations_since = t_.clock.EpochSeconds();
  second();
  EXPECT_EQ(fe_.notices.size(), 1u);
  for (int i = 0; i < 300; ++i) second();
  ASSERT_EQ(fe_.notices.size(), 2u);
  EXPECT_EQ(fe_.notices[1],
            "ALARM: Geänderte Stationsdaten seit 06.12.2026 09:11:02 nicht von der MTS-K bestätigt "
            "(Meldefrist 5 Minuten)");
  EXPECT_EQ(t_.window.alarm(), alarm + " / " + fe_.notices[1]);

  // The next price publication is acknowledged, then the station data.
  procs_.transaction_result = 0;
  while (!procs_.Called("DB_TransferLog 1 Preisdaten erfolgreich übertragen")) second();
  ASSERT_EQ(fe_.notices.size(), 3u);
  EXPECT_EQ(fe_.notices[2], "Alarm beendet: Preisdaten von der MTS-K bestätigt");
  EXPECT_EQ(t_.window.alarm(), fe_.notices[1]);
  procs_.stations_since.reset();
  second();
  ASSERT_EQ(fe_.notices.size(), 4u);
  EXPECT_EQ(fe_.notices[3], "Alarm beendet: Stationsdaten von der MTS-K bestätigt");
  EXPECT_EQ(t_.window.alarm(), "");
  EXPECT_EQ(t_.ErrorLines().size(), 4u);
}

TEST_F(MarktTranspTest, LpgExportWaitsForAnIdleTickAfter600) {
  procs_.lpg = 1;
  Start();
  scheduler_.SetLpgTaktZaehler(600);
  scheduler_.EnterState(kReadPrices);
  Tick(6);
  EXPECT_FALSE(procs_.Called("Gas_Tankstelle_Export")) << "not while a chain runs";
  EXPECT_EQ(scheduler_.state(), kIdle);
  Tick();
  EXPECT_TRUE(procs_.Called("Gas_Tankstelle_Export"));
  EXPECT_EQ(scheduler_.Snapshot().LpgTaktZaehler, 0);
}

TEST_F(MarktTranspTest, ButtonsActOnlyWhenIdleAndTheTrayOnlyOnLeftClicks) {
  Start();
  scheduler_.EnterState(kStorePrices);
  w_.Command1_Click(1);
  EXPECT_EQ(scheduler_.state(), kStorePrices) << "exit during a chain does nothing";
  EXPECT_EQ(t_.window.button(1).caption, "Beenden");
  w_.Command1_Click(2);
  EXPECT_EQ(scheduler_.Snapshot().ManuellAnforderung, kNoManualRequest);

  scheduler_.EnterState(kIdle);
  w_.Command1_Click(2);
  w_.Command1_Click(2);
  EXPECT_EQ(scheduler_.Snapshot().ManuellAnforderung, kManualRequested);
  EXPECT_FALSE(t_.window.button(2).enabled);
  Tick();
  EXPECT_EQ(scheduler_.state(), kPrepareStations);
  EXPECT_EQ(scheduler_.Snapshot().ManuellAnforderung, kManualPricesDue);
  Tick(5);  // station chain and transmission, then the price chain from kReadPrices
  EXPECT_EQ(scheduler_.state(), kReadPrices);
  Tick(6);
  EXPECT_EQ(scheduler_.state(), kIdle);
  procs_.calls.clear();
  Tick();
  EXPECT_EQ(procs_.calls, Lines{"AktuellePreiseZuordnen"});
  EXPECT_EQ(scheduler_.Snapshot().TaktZaehler, -1);
  Tick(6);
  EXPECT_FALSE(t_.window.button(2).enabled);
  Tick();
  EXPECT_TRUE(t_.window.button(2).enabled) << "enabled again in the idle tick after the chain";

  w_.Command1_Click(0);
  EXPECT_FALSE(t_.window.visible());
  w_.Picture1_MouseMove(0x204 * 15);  // right button
  EXPECT_FALSE(t_.window.visible());
  w_.Picture1_MouseMove(MarktTransp::kTrayLeftDouble);
  EXPECT_TRUE(t_.window.visible());
  EXPECT_EQ(fe_.shown, 1);

  w_.Command1_Click(1);
  EXPECT_EQ(t_.window.button(1).caption, "Wird beendet!");
  EXPECT_FALSE(t_.window.button(0).enabled);
  Tick();
  EXPECT_EQ(fe_.exit_code, 0);
  EXPECT_FALSE(fe_.tray);
  EXPECT_TRUE(procs_.Called("DB_Trennen"));
}

}  // namespace
}  // namespace velunor
