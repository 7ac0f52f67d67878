#include "service/core/headless_front_end.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "service/core/markt_transp.h"
#include "tests/recording_procedures.h"
#include "tests/test_support.h"

namespace velunor {
namespace {

std::string Contents(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, f) != nullptr) text += buffer;
  return text;
}

TEST(HeadlessFrontEndTest, PrintsStatusChangesCommunicationAndMessagesOneLineEach) {
  WindowModel window;
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  HeadlessFrontEnd front_end(window, out, err);
  window.SetInfo("06.12.2026 09:05:00 Warten auf Auftrag");
  window.SetInfo("06.12.2026 09:05:01 Warten auf Auftrag");  // only the time moved
  window.SetInfo("06.12.2026 09:05:02 Automatischer Preisdatenexport");
  window.AddList1("09:05:03 Sending Request...");
  window.SetLabel1(5, "06.12.2026 09:05:04");  // not a line of its own
  window.SetInfo("06.12.2026 09:05:05 Warten auf Auftrag");
  front_end.MessageBox("Keine Verbindung zur Datenbank möglich", "Velunor");
  EXPECT_EQ(Contents(out),
            "06.12.2026 09:05:00 Warten auf Auftrag\n"
            "06.12.2026 09:05:02 Automatischer Preisdatenexport\n"
            "09:05:03 Sending Request...\n"
            "06.12.2026 09:05:05 Warten auf Auftrag\n"
            "Keine Verbindung zur Datenbank möglich\n");
  EXPECT_EQ(Contents(err), "velunor: Keine Verbindung zur Datenbank möglich\n");
  std::fclose(out);
  std::fclose(err);
}

// SIGUSR1 is the "Manuelle Übertragung" button: between ticks, no effect
// while a job runs or while a manual transfer is under way, never kept for
// later.
TEST(HeadlessFrontEndTest, ManualTransferSignalActsOnlyWhenIdleAndIsNotKept) {
  HeadlessFrontEnd::BlockSignals();
  auto manual_transfers = [](bool chain_running, bool transfer_running) {
    testing::TestEnv t;
    testing::WriteStationIni(t.dir.path(), "127.0.0.1:3306", "velunor", "geheim");
    testing::RecordingProcedures procs;
    procs.log = &t.log;
    std::FILE* out = std::tmpfile();
    HeadlessFrontEnd front_end(t.window, out, nullptr);
    std::string server, user, password;
    SchedulerVariables vars;
    MarktTransp w(t.env, procs, front_end, vars, {&server, &user, &password});
    w.Form_Load();
    w.Form_Activate();
    if (chain_running) vars.AblaufStatus = kReadPrices;
    if (transfer_running) w.Command1_Click(2);
    kill(getpid(), SIGUSR1);  // pending until the loop waits for the next tick
    front_end.Run(w, 1, 40);
    std::fclose(out);
    return std::count(procs.calls.begin(), procs.calls.end(), "DB_Stationsdaten 1");
  };
  EXPECT_EQ(manual_transfers(false, false), 1) << "idle: the signal starts a manual transfer";
  EXPECT_EQ(manual_transfers(true, false), 0) << "during a chain: no effect, not kept";
  EXPECT_EQ(manual_transfers(false, true), 1) << "during a manual transfer: ignored";
}

}  // namespace
}  // namespace velunor
