// velunor end to end: the program itself, run headless as a process with its
// clock started at 2026-12-06 09:05 local time by libfaketime, against a
// private MariaDB holding the small station network and the endpoint
// simulator with test certificates. The tests look only at what a user of
// the service could see: the requests the simulator received, the database,
// the files in the program directory, the output and the exit status.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/expect_text.h"
#include "tests/proof_server.h"
#include "tests/service_fixture.h"
#include "tests/small_network.h"

namespace velunor {
namespace {

namespace fs = std::filesystem;
using testing::QueryRows;
using testing::ServiceProcess;
using testing::TestDb;
using testing::WaitUntil;

constexpr const char* kVelunor = VELUNOR_BIN;
// Every run's clock starts here; the runs last seconds, so every time the
// service writes falls into the minute 09:05.
constexpr const char* kStartTime = "2026-12-06 09:05:00";
constexpr int kTickMs = 20;

// Each query's rows as QueryRows gives them.
void ExpectRows(Connection& db, const std::vector<std::pair<std::string, std::string>>& expected) {
  for (const auto& [query, rows] : expected) EXPECT_EQ(QueryRows(db, query), rows) << query;
}

class E2eTest : public testing::ServiceProcessTest {
 protected:
  E2eTest() { fs::create_directories(ProgramDir()); }

  void Write(const std::string& name, const std::string& bytes) const {
    testing::WriteFile(ProgramDir() / name, bytes);
  }
  void WriteStationIni(const std::string& server) const {
    testing::WriteStationIni(ProgramDir(), server, TestDb::kUser, TestDb::kPassword);
  }
  // Starts velunor on the program directory; `ticks` 0 runs until a signal.
  std::unique_ptr<ServiceProcess> Run(const std::string& name, long ticks,
                                      std::vector<std::string> environment = {}) const {
    ServiceProcess::Options options = Options(name);
    options.environment = std::move(environment);
    options.start_time = kStartTime;
    options.tick_ms = kTickMs;
    options.ticks = ticks;
    return ServiceProcessTest::Run(options);
  }
  // The small station network on `server`, and the program directory naming it.
  std::unique_ptr<Connection> OnOwnServer(testing::PrivateServer& server) const {
    auto sql = server.Connect();
    testing::InsertStationNetwork(*sql);
    WriteProgramDir(server.Server());
    return sql;
  }
  // A run of 5 ticks whose start must end with status 1.
  std::unique_ptr<ServiceProcess> Aborted(const std::string& name) const {
    auto run = Run(name, 5);
    EXPECT_EQ(run->Wait(30), 1) << run->Stdout() << run->Stderr();
    return run;
  }
  std::string ProgramFile(const std::string& name) const {
    return testing::ReadFile(ProgramDir() / name);
  }
};

TEST_F(E2eTest, ReportsStationsThenPricesThenAPriceChangeWithinOneCycle) {
  auto sql = testing::ConnectToStationNetwork();
  WriteProgramDir(TestDb::Server());

  // A first run publishes the network, so that the second finds MTS-K rows
  // to keep history of, and a communication log of an earlier run.
  {
    auto first = Run("run1", 12);
    ASSERT_EQ(first->Wait(30), 0) << first->Stderr();
    ASSERT_EQ(sim_.Kinds(), "GP") << first->Stdout();
  }
  sql->Execute("update lox_station set strasse = 'Hauptstraße 14' where station = 1");
  sql->Execute("update lox_station_mts set status = 2 where station = 1");

  // 10 start ticks for the two chains, the automatic export at tick 91 and
  // its 6 ticks, and room to spare; the next export would come at tick 182.
  auto run = Run("run2", 120);
  ASSERT_TRUE(WaitUntil([&] { return sim_.RequestCount() >= 4; }, 20)) << run->Stdout();
  // After the start's price chain has read the prices: only the automatic
  // export can report this.
  testing::SetUpstreamPrice(*sql, 1, 3, "1.549");
  ASSERT_EQ(run->Wait(30), 0) << run->Stderr();
  EXPECT_EQ(run->Stderr(), "");
  EXPECT_TRUE(Contains(run->Stdout(), "06.12.2026 09:05:00 Velunor erfolgreich gestartet\n"));

  // What the MTS-K received.
  ASSERT_EQ(sim_.Kinds(), "GPGPP");
  const testing::ReceivedPublication stations = sim_.Received(3);
  EXPECT_EQ(stations.id, "G-2026-7");
  EXPECT_EQ(stations.stations, (std::map<std::string, std::string>{
                                   {"id-0001", "v5 Tankstelle Müller, Hauptstraße 14"},
                                   {"id-0002", "v2 Autohof Göppingen, Stuttgarter Str. 150a"}}));
  const testing::ReceivedPublication after = sim_.Received(5);
  EXPECT_EQ(sim_.Received(4).Price("id-0001", "Diesel"), testing::InitialPrice(1, 3));
  EXPECT_EQ(after.Price("id-0001", "Diesel"), "1.549") << "reported within one cycle";
  EXPECT_EQ(after.Price("id-0002", "Diesel"), testing::InitialPrice(2, 3));
  EXPECT_EQ(after.id, "P-2026-10");

  // The database afterwards.
  const std::string station = "0,Stationsdaten erfolgreich übertragen";
  const std::string price = "1,Preisdaten erfolgreich übertragen";
  ExpectRows(*sql,
             {{"select station, ps_version, ps_housenumber, left(ps_version_time, 16), "
               "right(ps_version_time, 6) from mts_petrolstation order by station",
               "1,5,14,2026-12-06T09:05,+01:00 | 2,2,150a,2026-12-06T09:05,+01:00"},
              // the row as published before the second run's change
              {"select station, ps_version, ps_housenumber from mts_petrolstation_historie "
               "order by historie_id",
               "1,4,12"},
              {"select count(*) from mts_petrolstation_times_historie where station = 1", "1"},
              {"select station, ps_pricee5, ps_pricee10, ps_pricediesel, ps_pricediesel_time "
               "from mts_petrolstation_price order by station",
               "1,1.759,1.699,1.549,2026-12-06T09:00:00+01:00 | "
               "2,1.769,1.709,1.599,2026-12-06T08:00:00+01:00"},
              // the price row as it stood before the change
              {"select station, ps_pricediesel from mts_petrolstation_price_historie "
               "order by historie_id",
               "1,1.589"},
              {"select log_code, log_text from mts_petrolstation_log order by log_id",
               station + " | " + price + " | " + station + " | " + price + " | " + price},
              {"select id, value from stammdaten where id in (133, 134) order by id",
               "133,2026-7 | 134,2026-10"}});

  // The files in the program directory: the last publication of each kind
  // as it was sent, and the communication log of the second run only.
  const std::string mts_g = ProgramFile("MTS_G.xml");
  const std::string mts_p = ProgramFile("MTS_P.xml");
  ASSERT_GT(mts_g.size(), 2u);
  ASSERT_GT(mts_p.size(), 2u);
  EXPECT_TRUE(Contains(sim_.RequestBody(3), mts_g.substr(0, mts_g.size() - 2)));
  EXPECT_TRUE(Contains(sim_.RequestBody(5), mts_p.substr(0, mts_p.size() - 2)));
  EXPECT_TRUE(Contains(mts_p, "<price>1.549</price>"));
  const std::vector<std::string> comlog = testing::ReadLines(ProgramDir() / "ComLogDatei.txt");
  int transactions = 0;
  const std::regex stamped(R"(06\.12\.2026 09:05:\d\d .*)");
  for (const std::string& line : comlog) {
    EXPECT_TRUE(std::regex_match(line, stamped)) << line;
    if (line.find("Beginning transaction to the MDM-Server") != std::string::npos) ++transactions;
  }
  EXPECT_EQ(transactions, 3) << "the second run's three transmissions, nothing of the first";
  EXPECT_FALSE(fs::exists(ProgramDir() / "MTS-Error-0.LOG")) << ProgramFile("MTS-Error-0.LOG");
}

TEST_F(E2eTest, ReconnectsAfterTheDatabaseServerRestartsAndReportsThePriceChangedMeanwhile) {
  testing::PrivateServer server;
  auto sql = OnOwnServer(server);
  auto run = Run("run", 0);
  const auto logged = [&](int rows) {
    return QueryRows(*sql, "select count(*) from mts_petrolstation_log") == std::to_string(rows);
  };
  ASSERT_TRUE(WaitUntil([&] { return logged(2); }, 20)) << run->Stdout();
  sql.reset();
  server.Stop();
  const auto said = [&](const std::string& text) {
    return run->Stdout().find(text) != std::string::npos;
  };
  // The loss shows at the next database access (change check or price
  // export); the first attempt to reconnect then finds no server.
  ASSERT_TRUE(WaitUntil([&] { return said("DB-Verbindung verloren, warten... (800)"); }, 20))
      << run->Stdout();
  ASSERT_TRUE(WaitUntil([&] { return said("Immer noch keine DB-Verbindung möglich!"); }, 20))
      << run->Stdout();
  server.Start();
  sql = server.Connect();
  testing::SetUpstreamPrice(*sql, 2, 3, "1.579", "2026-12-06 09:04:00");

  const auto reported = [&] {
    for (int n = 3; n <= sim_.RequestCount(); ++n) {
      if (sim_.Received(n).Price("id-0002", "Diesel") == "1.579") return true;
    }
    return false;
  };
  ASSERT_TRUE(WaitUntil(reported, 20)) << run->Stdout();
  EXPECT_TRUE(said(" DB-Verbindung erfolgreich hergestellt!"))
      << "status lines reach standard output as they happen, not when a buffer is full";
  // Ends at the next idle tick, so the transmission's transfer-log row is written.
  ASSERT_EQ(run->Stop(20), 0) << run->Stderr();

  const std::string out = run->Stdout();
  const size_t lost = out.find(" DB-Verbindung verloren, warten... (800)");
  const size_t retry = out.find(" Immer noch keine DB-Verbindung möglich!");
  const size_t back = out.find(" DB-Verbindung erfolgreich hergestellt!");
  ASSERT_NE(back, std::string::npos) << out;
  EXPECT_LT(lost, retry);
  EXPECT_LT(retry, back);
  // The journal hears of the wait once, not once a tick (the run is shorter
  // than the minute after which it would be reminded).
  const auto count = [&](const std::string& text) { return testing::Occurrences(out, text); };
  EXPECT_EQ(count(" DB-Verbindung verloren, warten..."), 1u) << out;
  EXPECT_EQ(count(" Immer noch keine DB-Verbindung möglich!"), 1u) << out;
  EXPECT_TRUE(out.ends_with("velunor: beendet\n")) << "a normal end says so: " << out;
  // Whether one more automatic export got out while the server was shutting
  // down depends on timing; after the two start publications only price
  // publications follow, the last one with the price changed meanwhile.
  EXPECT_TRUE(std::regex_match(sim_.Kinds(), std::regex("GPP+"))) << sim_.Kinds();
  EXPECT_EQ(sim_.Received(sim_.RequestCount()).Price("id-0002", "Diesel"), "1.579");
  ExpectRows(*sql,
             {{"select station, ps_pricediesel, ps_pricediesel_time from mts_petrolstation_price "
               "order by station",
               "1,1.589,2026-12-06T08:00:00+01:00 | 2,1.579,2026-12-06T09:04:00+01:00"},
              {"select log_code from mts_petrolstation_log order by log_id desc limit 1", "1"},
              {"select count(*) from mts_petrolstation_log where log_code >= 100", "0"}});
  const std::string errors = ProgramFile("MTS-Error-0.LOG");
  EXPECT_TRUE(Contains(errors, " / -2147467259 / "));
}

// While the service waits for a lost database, systemd's stop (SIGTERM) ends
// it at once: nothing is under way that a restart would not redo.
TEST_F(E2eTest, AStopWhileTheDatabaseIsLostEndsTheServiceAtOnce) {
  testing::PrivateServer server;
  auto sql = OnOwnServer(server);
  auto run = Run("run", 0);
  ASSERT_TRUE(WaitUntil([&] { return sim_.RequestCount() >= 2; }, 20)) << run->Stdout();
  sql.reset();
  server.Stop();
  ASSERT_TRUE(WaitUntil(
      [&] { return run->Stdout().find("DB-Verbindung verloren, warten...") != std::string::npos; },
      20))
      << run->Stdout();
  EXPECT_EQ(run->Stop(5), 0) << run->Stdout();
  EXPECT_FALSE(Contains(run->Stdout(), "DB-Verbindung erfolgreich hergestellt!"));
}

TEST_F(E2eTest, AbortedStartsEndWithStatusOneAndSayWhyOnStandardError) {
  // No STATION.INI.
  EXPECT_TRUE(Contains(
      Aborted("no-ini")->Stderr(),
      "Die Datei '" + (ProgramDir() / "STATION.INI").string() + "' wurde nicht gefunden!"));

  // A database server nobody listens for; the driver's reason follows the message.
  WriteStationIni("127.0.0.1:1");
  EXPECT_TRUE(Contains(Aborted("no-db")->Stderr(),
                       "velunor: Keine Verbindung zur Datenbank möglich\nvelunor: "
                       "Datenbank meldet: SQLSTATE HY000, Fehler 2002: "));

  // No Velunor.CFG next to a reachable database.
  auto sql = testing::ConnectToStationNetwork();
  WriteStationIni(TestDb::Server());
  auto run = Aborted("no-cfg");
  EXPECT_TRUE(Contains(run->Stderr(),
                       "Einstellungen nicht gefunden. Bitte starten Sie Kestrin.EXE "
                       "und nehmen die notwendigen Einstellungen vor!"));
  EXPECT_FALSE(Contains(run->Stdout(), "Velunor erfolgreich gestartet"))
      << "a configuration fault ends the start at once";
}

// A STATION.INI that cannot be read is never taken for an empty one (which
// would mean the local server's default account): the start ends at once
// with the file and the reason.
TEST_F(E2eTest, AnUnreadableStationIniEndsTheStartWithItsNameAndTheReason) {
  const fs::path ini = ProgramDir() / "STATION.INI";
  fs::create_directory(ini);  // unreadable for root too
  {
    auto run = Aborted("directory");
    EXPECT_TRUE(Contains(run->Stderr(), "velunor: Die Datei '" + ini.string() +
                                            "' kann nicht gelesen werden: Is a directory -> "));
    EXPECT_FALSE(Contains(run->Stdout(), "Verbindung zur Datenbank"));
  }
  if (geteuid() != 0) GTEST_SKIP() << "the account case needs root";

  // Copied in by root (0600), while the service runs as its own account.
  fs::remove_all(ProgramDir());
  fs::create_directories(ProgramDir());
  WriteStationIni(TestDb::Server());
  fs::permissions(dir_.path(), fs::perms::owner_all | fs::perms::others_exec);
  ASSERT_EQ(chown(ProgramDir().c_str(), 65534, 65534), 0);  // nobody
  // The build tree may lie where nobody cannot reach (a clone in /root), so
  // the account runs a copy beside its program directory.
  const fs::path binary = dir_.path() / "bin" / "velunor";
  fs::create_directories(binary.parent_path());
  fs::copy_file(kVelunor, binary);
  fs::permissions(binary, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
  const testing::CommandResult run =
      testing::RunCommand("runuser -u nobody -- " + binary.string() +
                          " --headless --ticks 5 --program-dir '" + ProgramDir().string() + "'");
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_TRUE(
      Contains(run.output, "Die Datei '" + ini.string() +
                               "' kann nicht gelesen werden: Permission denied -> das Konto nobody "
                               "muss sie lesen können, als root: chown nobody:"));
  EXPECT_FALSE(Contains(run.output, "Verbindung zur Datenbank"));
  EXPECT_TRUE(
      Contains(ProgramFile("MTS-Error-0.LOG"), "kann nicht gelesen werden: Permission denied"));
}

TEST_F(E2eTest, StationIniWithFewerValuesRunsTheStartToItsEndThenAborts) {
  // Three values: the password is missing. An account without a password
  // lets the start get past the connection, to show the rest of it.
  testing::PrivateServer server;
  server.RunAsRoot(
      "CREATE USER 'ohne_kennwort'@'127.0.0.1'; "
      "GRANT ALL ON lox.* TO 'ohne_kennwort'@'127.0.0.1';");
  auto sql = server.Connect();
  testing::InsertStationNetwork(*sql);
  Write("STATION.INI", "Test\r\n" + server.Server() + "\r\nohne_kennwort\r\n");
  Write("Velunor.CFG", "CN=Test, C=DE\r\nhttps://127.0.0.1:1/g\r\nhttps://127.0.0.1:1/p\r\n");

  auto run = Aborted("run");
  EXPECT_TRUE(Contains(run->Stderr(), "Fehler beim Programmstart - wird beendet"));
  EXPECT_TRUE(Contains(run->Stdout(), "Velunor erfolgreich gestartet"))
      << "the sequence runs on after the short file";
  EXPECT_EQ(QueryRows(*sql, "select station, status from lox_station_mts order by station"),
            "1,1 | 2,1 | 3,1")
      << "the station synchronisation ran";
  const std::vector<std::string> errors = testing::ReadLines(ProgramDir() / "MTS-Error-0.LOG");
  ASSERT_EQ(errors.size(), 1u) << ProgramFile("MTS-Error-0.LOG");
  EXPECT_TRUE(Contains(errors[0], "--> Form_Activate / "));
  EXPECT_TRUE(Contains(errors[0], "enthält 3 von 4 Werten"));

  // The operator completes the file. Upstream says the stations are
  // synchronised, but the MTS-K never received them: this start sends them
  // (the publication numbers are not 0, so no base export would).
  std::filesystem::remove(ProgramDir() / "MTS-Error-0.LOG");
  Write("STATION.INI", "Test\r\n" + server.Server() + "\r\nohne_kennwort\r\n\r\n");
  WriteProgramDir("");
  auto second = Run("second", 12);
  ASSERT_EQ(second->Wait(30), 0) << second->Stderr();
  ASSERT_EQ(sim_.Kinds(), "GP");
  const testing::ReceivedPublication sent = sim_.Received(1);
  EXPECT_EQ(sent.stations, (std::map<std::string, std::string>{
                               {"id-0001", "v5 Tankstelle Müller, Hauptstraße 12"},
                               {"id-0002", "v3 Autohof Göppingen, Stuttgarter Str. 150a"}}))
      << "sent anew with a version the aborted start never reported";
  EXPECT_FALSE(fs::exists(ProgramDir() / "MTS_G.pending")) << "delivered";
}

// A station sells Super E10, but upstream has no current price for it yet.
// The run stores the station's price row; the next start reads it back and
// reports, instead of ending every later start on a NULL of its own making.
TEST_F(E2eTest, ARestartAfterAFuelWithoutUpstreamPriceStartsAndReports) {
  auto sql = testing::ConnectToStationNetwork();
  sql->Execute("delete from lox_station_aktuelle_preise where station = 2 and produkt = 22");
  WriteProgramDir(TestDb::Server());

  auto first = Run("run1", 12);
  ASSERT_EQ(first->Wait(30), 0) << first->Stderr();
  ASSERT_EQ(sim_.Kinds(), "GP");
  EXPECT_EQ(testing::StoredPrice(*sql, 2, "ps_pricee10, ps_pricee10_time"), "0.0,");

  auto second = Run("run2", 100);
  ASSERT_EQ(second->Wait(30), 0) << second->Stdout() << second->Stderr();
  EXPECT_EQ(second->Stderr(), "");
  EXPECT_FALSE(fs::exists(ProgramDir() / "MTS-Error-0.LOG")) << ProgramFile("MTS-Error-0.LOG");
  ASSERT_EQ(sim_.Kinds(), "GPP") << "the automatic price export of the second run";
  const testing::ReceivedPublication prices = sim_.Received(3);
  EXPECT_EQ(prices.Price("id-0002", "Diesel"), testing::InitialPrice(2, 3));
  EXPECT_EQ(prices.Price("id-0002", "E10"), "") << "no price, no block";
}

// Under systemd (NOTIFY_SOCKET set) the service reports readiness, its status
// line, a heartbeat per tick and its end.
TEST_F(E2eTest, TellsTheServiceManagerReadinessStatusHeartbeatAndStop) {
  auto sql = testing::ConnectToStationNetwork();
  WriteProgramDir(TestDb::Server());

  const fs::path socket_path = dir_.path() / "notify";
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socket_path.string().copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  // Read while the service runs, as systemd does: an unread queue would make
  // the service's own sending wait.
  std::vector<std::string> messages;
  std::atomic<bool> done = false;
  std::thread reader([&] {
    char buffer[4096];
    while (!done) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
      if (n > 0) messages.emplace_back(buffer, static_cast<size_t>(n));
    }
  });
  auto run = Run("run", 20, {"NOTIFY_SOCKET=" + socket_path.string()});
  const int status = run->Wait(30);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  done = true;
  reader.join();
  close(fd);
  ASSERT_EQ(status, 0) << run->Stderr();

  const auto first = [&](const std::function<bool(const std::string&)>& match) {
    return std::find_if(messages.begin(), messages.end(), match) - messages.begin();
  };
  const long end = static_cast<long>(messages.size());
  const long ready = first([](const std::string& m) { return m == "READY=1"; });
  ASSERT_LT(ready, end) << ::testing::PrintToString(messages);
  ASSERT_GT(ready, 0);
  EXPECT_TRUE(messages[static_cast<size_t>(ready) - 1].ends_with(" Velunor erfolgreich gestartet"))
      << "ready once the start has succeeded: " << messages[static_cast<size_t>(ready) - 1];
  EXPECT_LT(ready, first([](const std::string& m) { return m == "WATCHDOG=1"; }))
      << "the heartbeat comes from the tick loop";
  EXPECT_GE(std::count(messages.begin(), messages.end(), "WATCHDOG=1"), 20) << "one per tick";
  EXPECT_LT(first([&](const std::string& m) {
              return m.starts_with("STATUS=") && m.ends_with(" Übertragung an MTS");
            }),
            end)
      << "the status line goes to the service manager as it changes";
  EXPECT_EQ(messages.back(), "STOPPING=1");
}

}  // namespace
}  // namespace velunor
