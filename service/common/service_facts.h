// What the service has done and where it stands, as plain values: the
// facts that every view shows, copied whole into the status server's
// picture. The texts of the Parts that the service itself writes (the status
// line's, the alarm's, the communication log's) are facts; every text made
// for showing them (times, labels, captions) is made by window_texts.h.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "service/common/date_time.h"
#include "service/common/price_warning.h"
#include "service/common/status_line.h"

namespace velunor {

// The parts of the facts that change together: observers of the state hear
// which one changed.
enum class Aspect {
  kTitle,  // caption and version
  kClock,  // the time of the last tick
  kStatusLine,
  kAlarm,
  kWarning,
  kPriceWarning,   // index: the warning raised, -1 when one ended
  kPublication,    // index: the PublicationKind
  kCommunication,  // index: the line added, -1 when cleared
  kReporter,
  kGrid,  // index: the row written, -1 when the rows were set
  kControls,
  kVisibility,
};
// Every aspect, for a view that starts late and shows the whole state at once.
inline constexpr Aspect kEveryAspect[] = {
    Aspect::kTitle,    Aspect::kClock,        Aspect::kStatusLine,  Aspect::kAlarm,
    Aspect::kWarning,  Aspect::kPriceWarning, Aspect::kPublication, Aspect::kCommunication,
    Aspect::kReporter, Aspect::kGrid,         Aspect::kControls,    Aspect::kVisibility};

enum class PublicationKind { kStation = 0, kPrice = 1 };

// One kind's publications; a time is local, nullopt when there is none.
struct PublicationRecord {
  std::string number;  // the last one numbered (or known acknowledged at the start)
  std::optional<DateTime> numbered_at;
  // The last one the MTS-K acknowledged: its number, when (also as Unix time).
  std::string acknowledged_number;
  std::optional<DateTime> acknowledged_at;
  std::int64_t acknowledged_epoch_seconds = 0;
  // When a transmission last went unacknowledged; kept after the next acknowledgement.
  std::optional<DateTime> failed_at;
  // Set while the last transmission is the one that went unacknowledged:
  // whether the MTS-K answered with a refusal (or it failed on the way), and why.
  struct Failing {
    bool refused = false;
    std::string error;
  };
  std::optional<Failing> failing;
};

struct ServiceFacts {
  std::string caption;
  std::string version;
  // The time of the last tick; nullopt before the first.
  std::optional<DateTime> clock;
  // What runs or ran last; nullopt before the first line.
  std::optional<StatusLine> status_line;
  // The compliance alarm; "" when none is raised.
  std::string alarm;
  // What needs the operator soon (the client certificate's end); "" when nothing.
  std::string warning;
  // Prices taken in that the plausibility rule found unusual, one per
  // station and fuel, oldest first.
  std::vector<PriceWarning> price_warnings;
  // Warnings raised since the start, by fuel key.
  std::map<std::string, long> price_warnings_raised;
  std::array<PublicationRecord, 2> publications;
  // The communication log of the running day, oldest first.
  std::vector<std::string> communication;
  // The company the stations report for; nullopt until the master data were read.
  std::optional<std::string> reporter;
  // The service is ending: nothing the operator does acts any more.
  bool shutting_down = false;
  // A manual transfer may be asked for (none under way).
  bool manual_transfer_open = true;
  // Whether the operator window is shown (or sits in the tray).
  bool window_shown = true;

  const PublicationRecord& publication(PublicationKind kind) const {
    return publications[static_cast<size_t>(kind)];
  }
};

}  // namespace velunor
