// The main timer's window-level variables and the names of its states. The
// variables belong to the Scheduler; front ends never touch them, they use
// its requests. Single-threaded: the window's thread.
#pragma once

#include <cstdint>
#include <string>

namespace velunor {

// AblaufStatus values, named by the step the state performs next. The
// numbers are the ones operators know from the status line and the logs.
enum SchedulerState : int16_t {
  kIdle = 0,
  // The price chain.
  kReadPrices = 1,
  kStorePrices = 2,
  kBuildPriceLines = 3,
  kBuildPricePublication = 4,
  kWrapPricePublication = 10,
  // The station chain.
  kPrepareStations = 30,
  kBuildStationLines = 31,
  kBuildStationPublication = 32,
  kWrapStationPublication = 40,
  kTransmit = 90,
  // The lost database connection: sixteen ticks of waiting, then a reconnect.
  kWaitForDatabase = 800,
  kLastWaitForDatabase = 815,
  kAnnounceReconnect = 816,
  kReconnect = 817,
  kShutdown = 900,
};

// The wait's `tick`th state, 0 to 15.
constexpr SchedulerState WaitingForDatabase(int tick) {
  return static_cast<SchedulerState>(kWaitForDatabase + tick);
}

inline bool IsWaitingForDatabase(int16_t state) {
  return state >= kWaitForDatabase && state <= kReconnect;
}

// ManuellAnforderung, the phases of an operator's manual transfer.
enum ManualRequest : int16_t {
  kNoManualRequest = 0,
  kManualRequested = 1,
  kManualPricesDue = 2,
  kManualPricesStarted = 3,
};

// The transmission kinds of SendeArt.
inline constexpr const char* kStationData = "Stationdata";
inline constexpr const char* kPriceData = "Pricedata";

struct SchedulerVariables {
  int16_t AblaufStatus = kIdle;
  int32_t TaktZaehler = 0;  // ticks in the cycle, counting stops at 100
  int16_t ManuellAnforderung = kNoManualRequest;
  int16_t NachtlaufErledigt = 0;
  int32_t LpgTaktZaehler = 0;
  int16_t AktivierungErfolgt = 0;
  // The transmission under way.
  std::string SendeDaten;
  std::string SendeArt;
  std::string AktuelleUrl;
};

}  // namespace velunor
