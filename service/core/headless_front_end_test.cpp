#include "service/core/headless_front_end.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "service/core/markt_transp.h"
#include "tests/recording_procedures.h"
#include "tests/test_env.h"

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

// The window started headless on recording procedures, printing into a
// temporary file.
struct StartedHeadless {
  StartedHeadless() { window.Start(); }
  ~StartedHeadless() { std::fclose(out); }
  testing::TestEnv t;
  std::FILE* out = std::tmpfile();
  HeadlessFrontEnd front_end{t.service, t.clock, out, nullptr};
  testing::WindowOnRecordings<> window{t, front_end};
  testing::RecordingProcedures& procs = window.procs;
  MarktTransp& w = window.w;
};

TEST(HeadlessFrontEndTest, PrintsStatusChangesCommunicationAndMessagesOneLineEach) {
  ServiceState state;
  FakeClock clock(DateTime{2026, 12, 6, 9, 5, 0});
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  HeadlessFrontEnd front_end(state, clock, out, err);
  const auto status = [&](int second, const char* text) {
    state.SetStatusLine({DateTime{2026, 12, 6, 9, 5, second}, kIdle, text});
  };
  status(0, " Warten auf Auftrag");
  status(1, " Warten auf Auftrag");  // only the time moved
  status(2, " Automatischer Preisdatenexport");
  state.AddCommunication("09:05:03 Sending Request...");
  state.SetAcknowledged(PublicationKind::kPrice, "2026-000001", DateTime{2026, 12, 6, 9, 5, 4},
                        clock.EpochSeconds());  // not a line of its own
  status(5, " Warten auf Auftrag");
  PriceWarning price{1, "Tankstelle Müller", "diesel", "Diesel", 0.169, 1.689};
  state.RaisePriceWarning(price);  // a line for the journal; its end needs none
  state.EndPriceWarning(1, "diesel");
  front_end.MessageBox("Keine Verbindung zur Datenbank möglich", "Velunor");
  EXPECT_EQ(Contents(out),
            "06.12.2026 09:05:00 Warten auf Auftrag\n"
            "06.12.2026 09:05:02 Automatischer Preisdatenexport\n"
            "09:05:03 Sending Request...\n"
            "06.12.2026 09:05:05 Warten auf Auftrag\n"
            "velunor: " +
                PriceWarningText(price) +
                "\n"
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
    StartedHeadless h;
    if (chain_running) h.w.scheduler().EnterState(kReadPrices);
    if (transfer_running) h.w.Command1_Click(2);
    kill(getpid(), SIGUSR1);  // pending until the loop waits for the next tick
    h.front_end.Run(h.w, 1, 40);
    return std::count(h.procs.calls.begin(), h.procs.calls.end(), "DB_Stationsdaten 1");
  };
  EXPECT_EQ(manual_transfers(false, false), 1) << "idle: the signal starts a manual transfer";
  EXPECT_EQ(manual_transfers(true, false), 0) << "during a chain: no effect, not kept";
  EXPECT_EQ(manual_transfers(false, true), 1) << "during a manual transfer: ignored";
}

// A lost database: the scheduler's status changes every tick, the journal
// hears of each text once, then of the wait once a minute with its length;
// the window keeps the texts as they are. A normal end closes with a line.
TEST(HeadlessFrontEndTest, ALostDatabaseIsToldOnceThenOnceAMinuteAndTheEndIsSaid) {
  StartedHeadless h;
  const auto ticks = [&](int n) {
    for (int i = 0; i < n; ++i) {
      h.t.clock.Advance(1);
      h.w.Haupt_Timer_Timer();
    }
  };
  const auto lose_database_for = [&](int seconds) {
    h.procs.connect_result = 0;
    h.t.log.Write(kErrConnectionLost, "gone", "DB_Preisdaten", "");
    ticks(seconds);
    EXPECT_NE(h.t.window.info().find(" DB-Verbindung"), std::string::npos) << h.t.window.info();
    EXPECT_EQ(h.t.window.info().find("seit"), std::string::npos) << "the window keeps its texts";
    h.procs.connect_result = 1;
    ticks(18);
  };
  ticks(2);
  lose_database_for(150);
  ticks(2);
  lose_database_for(20);
  ASSERT_TRUE(h.w.RequestShutdown());
  ticks(1);
  const std::string printed = Contents(h.out);

  std::vector<std::string> waits;
  for (const std::string& line : testing::SplitLines(printed)) {
    if (line.find("DB-Verbindung verloren, warten...") != std::string::npos) waits.push_back(line);
  }
  EXPECT_EQ(waits,
            (std::vector<std::string>{
                "06.12.2026 09:05:03 DB-Verbindung verloren, warten... (800)",
                "06.12.2026 09:06:03 DB-Verbindung verloren, warten... (806) - seit 1 Minute",
                "06.12.2026 09:07:03 DB-Verbindung verloren, warten... (812) - seit 2 Minuten",
                "06.12.2026 09:07:53 DB-Verbindung verloren, warten... (800)",
            }))
      << printed;
  const auto count = [&](const std::string& text) { return testing::Occurrences(printed, text); };
  EXPECT_EQ(count(" DB-Verbindung neu herstellen...\n"), 2u) << "once per stretch\n" << printed;
  EXPECT_EQ(count(" Immer noch keine DB-Verbindung möglich!\n"), 2u) << printed;
  EXPECT_EQ(count(" DB-Verbindung erfolgreich hergestellt!\n"), 2u) << printed;
  EXPECT_EQ(printed.substr(printed.rfind('\n', printed.size() - 2) + 1), "velunor: beendet\n")
      << printed;
}

}  // namespace
}  // namespace velunor
