// What the service has done and where it stands, as its procedures record
// it: the status line, alarm and warning, each publication kind's last
// number, acknowledgement and failure, the communication log, the reporting
// company, the station rows with their prices and times, and what the
// operator may do. Every window is a view computed from it: the operator
// window (window_view.h), the status page and its JSON, the headless status
// lines and the service manager's status. Observers hear of every change in
// the order they were added. Single-threaded: the window's thread.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "service/common/grid_cells.h"
#include "service/common/price_warning.h"
#include "service/common/status_line.h"

namespace velunor {

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

class StateObserver {
 public:
  virtual ~StateObserver() = default;
  virtual void StateChanged(Aspect aspect, int index) = 0;
};

enum class PublicationKind { kStation = 0, kPrice = 1 };

// One kind's publications; a time is local, nullopt when there is none.
struct PublicationRecord {
  std::string number;  // the last one numbered (or known acknowledged at the start)
  std::optional<DateTime> numbered_at;
  // The last one the MTS-K acknowledged: its number, when (also as Unix time).
  std::string acknowledged_number;
  std::optional<DateTime> acknowledged_at;
  std::int64_t acknowledged_epoch_seconds = 0;
  std::optional<DateTime> failed_at;
};

class ServiceState {
 public:
  static constexpr int kGridColumns = GridCells::kColumns;
  static constexpr auto kGridCaptions = GridCells::kCaptions;
  using GridRow = GridCells::Row;

  // An observer must be removed before it goes.
  void AddObserver(StateObserver* observer);
  void RemoveObserver(StateObserver* observer);

  const std::string& caption() const { return caption_; }
  const std::string& version() const { return version_; }
  void SetTitle(const std::string& caption, const std::string& version);

  // The time of the last tick; nullopt before the first.
  const std::optional<DateTime>& clock() const { return clock_; }
  void SetClock(const DateTime& now);

  // What runs or ran last; nullopt before the first line. Its texts are
  // made by StatusLineText and StatusLineWithoutTime (status_line.h).
  const std::optional<StatusLine>& status_line() const { return status_line_; }
  void SetStatusLine(StatusLine line);

  // The compliance alarm; "" when none is raised.
  const std::string& alarm() const { return alarm_; }
  bool alarm_raised() const { return !alarm_.empty(); }
  void SetAlarm(const std::string& text);

  // What needs the operator soon (the client certificate's end); "" when nothing.
  const std::string& warning() const { return warning_; }
  void SetWarning(const std::string& text);

  // Prices taken in that the plausibility rule found unusual, one per
  // station and fuel, oldest first; each stays until the station's next
  // plausible price for the fuel or until it is a day old.
  const std::vector<PriceWarning>& price_warnings() const { return price_warnings_; }
  // The warning for the station's fuel, null when none stands.
  const PriceWarning* price_warning(long station, const std::string& fuel_key) const;
  // Stands in for an earlier warning of the same station and fuel.
  void RaisePriceWarning(const PriceWarning& warning);
  void EndPriceWarning(long station, const std::string& fuel_key);
  // Ends every warning raised before `epoch_seconds`.
  void EndPriceWarningsBefore(std::int64_t epoch_seconds);
  // Warnings raised since the start, by fuel key.
  const std::map<std::string, long>& price_warnings_raised() const {
    return price_warnings_raised_;
  }

  const PublicationRecord& publication(PublicationKind kind) const {
    return publications_[static_cast<size_t>(kind)];
  }
  void SetNumbered(PublicationKind kind, const std::string& number,
                   const std::optional<DateTime>& at);
  // `at` nullopt (and `number` "") when none is known.
  void SetAcknowledged(PublicationKind kind, const std::string& number,
                       const std::optional<DateTime>& at, std::int64_t epoch_seconds);
  void SetFailed(PublicationKind kind, const DateTime& at);

  // The communication log of the running day, oldest first.
  const std::vector<std::string>& communication() const { return communication_; }
  void AddCommunication(const std::string& line);
  void ClearCommunication();

  // The company the stations report for; nullopt until the master data were read.
  const std::optional<std::string>& reporter() const { return reporter_; }
  void SetReporter(const std::string& name);

  // The station rows: two per station (name and reporting flag with the
  // product of each fuel; the last price change with each price) below the
  // caption row, each cell a fact (see grid_cells.h).
  int grid_rows() const { return grid_.rows(); }
  void SetGridRows(int rows);
  const GridCells::Fact& fact(int row, int column) const { return grid_.at(row, column); }
  void SetCell(int row, int column, const GridCells::Fact& fact);
  // The cells' texts, as every view shows them.
  const std::string& cell(int row, int column) const { return grid_.Text(row, column); }
  const std::vector<GridRow>& grid() const { return grid_.Texts(); }

  // The service is ending: nothing the operator does acts any more.
  bool shutting_down() const { return shutting_down_; }
  void SetShuttingDown();
  // A manual transfer may be asked for (none under way).
  bool manual_transfer_open() const { return manual_transfer_open_; }
  void SetManualTransferOpen(bool open);

  // Whether the operator window is shown (or sits in the tray).
  bool window_shown() const { return window_shown_; }
  void SetWindowShown(bool shown);

 private:
  void Notify(Aspect aspect, int index);

  std::vector<StateObserver*> observers_;
  std::string caption_;
  std::string version_;
  std::optional<DateTime> clock_;
  std::optional<StatusLine> status_line_;
  std::string alarm_;
  std::string warning_;
  std::vector<PriceWarning> price_warnings_;
  std::map<std::string, long> price_warnings_raised_;
  std::array<PublicationRecord, 2> publications_;
  std::vector<std::string> communication_;
  std::optional<std::string> reporter_;
  GridCells grid_;
  bool shutting_down_ = false;
  bool manual_transfer_open_ = true;
  bool window_shown_ = true;
};

}  // namespace velunor
