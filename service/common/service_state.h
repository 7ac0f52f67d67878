// What the service has done and where it stands, as its procedures record
// it: the facts (service_facts.h) and the station rows with their prices
// and times. Every window is a view computed from it: the operator window
// (window_view.h), the status page and its JSON (from a copy of the facts),
// the headless status lines and the service manager's status. Observers
// hear of every change in the order they were added. Single-threaded: the
// window's thread.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "service/common/grid_cells.h"
#include "service/common/service_facts.h"

namespace velunor {

class StateObserver {
 public:
  virtual ~StateObserver() = default;
  virtual void StateChanged(Aspect aspect, int index) = 0;
};

class ServiceState {
 public:
  static constexpr int kGridColumns = GridCells::kColumns;
  static constexpr auto kGridCaptions = GridCells::kCaptions;
  using GridRow = GridCells::Row;

  // An observer must be removed before it goes.
  void AddObserver(StateObserver* observer);
  void RemoveObserver(StateObserver* observer);

  // Everything but the station rows, as one value.
  const ServiceFacts& facts() const { return facts_; }
  // Changes facts that keep no rule of their own (the setters below keep
  // theirs) and tells the observers of `aspect`: `change` gets the facts.
  template <typename Change>
  void Update(Aspect aspect, Change&& change) {
    change(facts_);
    Notify(aspect, -1);
  }

  const std::string& caption() const { return facts_.caption; }
  const std::string& version() const { return facts_.version; }
  void SetTitle(const std::string& caption, const std::string& version) {
    Update(Aspect::kTitle, [&](ServiceFacts& f) {
      f.caption = caption;
      f.version = version;
    });
  }

  // The time of the last tick; nullopt before the first.
  const std::optional<DateTime>& clock() const { return facts_.clock; }
  void SetClock(const DateTime& now) {
    Update(Aspect::kClock, [&](ServiceFacts& f) { f.clock = now; });
  }

  // What runs or ran last; nullopt before the first line. Its texts are
  // made by StatusLineText and StatusLineWithoutTime (status_line.h).
  const std::optional<StatusLine>& status_line() const { return facts_.status_line; }
  void SetStatusLine(StatusLine line) {
    Update(Aspect::kStatusLine, [&](ServiceFacts& f) { f.status_line = std::move(line); });
  }

  // The compliance alarm; "" when none is raised.
  const std::string& alarm() const { return facts_.alarm; }
  bool alarm_raised() const { return !facts_.alarm.empty(); }
  void SetAlarm(const std::string& text);

  // What needs the operator soon (the client certificate's end); "" when nothing.
  const std::string& warning() const { return facts_.warning; }
  void SetWarning(const std::string& text);

  // Prices taken in that the plausibility rule found unusual, one per
  // station and fuel, oldest first; each stays until the station's next
  // plausible price for the fuel or until it is a day old.
  const std::vector<PriceWarning>& price_warnings() const { return facts_.price_warnings; }
  // The warning for the station's fuel, null when none stands.
  const PriceWarning* price_warning(long station, const std::string& fuel_key) const;
  // Stands in for an earlier warning of the same station and fuel.
  void RaisePriceWarning(const PriceWarning& warning);
  void EndPriceWarning(long station, const std::string& fuel_key);
  // Ends every warning raised before `epoch_seconds`.
  void EndPriceWarningsBefore(std::int64_t epoch_seconds);
  // Warnings raised since the start, by fuel key.
  const std::map<std::string, long>& price_warnings_raised() const {
    return facts_.price_warnings_raised;
  }

  const PublicationRecord& publication(PublicationKind kind) const {
    return facts_.publication(kind);
  }
  void SetNumbered(PublicationKind kind, const std::string& number,
                   const std::optional<DateTime>& at);
  // `at` nullopt (and `number` "") when none is known.
  void SetAcknowledged(PublicationKind kind, const std::string& number,
                       const std::optional<DateTime>& at, std::int64_t epoch_seconds);
  // A transmission just acknowledged: as SetAcknowledged, and it fails no more.
  void SetTransmitted(PublicationKind kind, const std::string& number, const DateTime& at,
                      std::int64_t epoch_seconds);
  void SetFailed(PublicationKind kind, const DateTime& at, PublicationRecord::Failing why);

  // The communication log of the running day, oldest first.
  const std::vector<std::string>& communication() const { return facts_.communication; }
  void AddCommunication(const std::string& line);
  void ClearCommunication();

  // The company the stations report for; nullopt until the master data were read.
  const std::optional<std::string>& reporter() const { return facts_.reporter; }
  void SetReporter(const std::string& name) {
    Update(Aspect::kReporter, [&](ServiceFacts& f) { f.reporter = name; });
  }

  // The stations as the grid shows them, found by their number: the
  // company's central fuel assignment, then each station in its place with
  // its name, whether it reports, each fuel's product, price and the time of
  // its last price change (see grid_cells.h). Fuels are named by their codes
  // 1 to 5. A station without a place is not shown: its facts change nothing.
  // Room for `count` stations below the central assignment.
  void LayOutStations(int count);
  // Fuel `code`'s central product and its short name; 0: not sold.
  void SetCentralProduct(int code, std::int32_t product, const std::string& short_name);
  // Station `number` in place `place` (0 is the first), its price time unknown.
  void PlaceStation(int place, long number, const std::string& name);
  void SetReporting(long number, Reporting reporting);
  // 0: the station does not sell the fuel.
  void SetProduct(long number, int code, std::int32_t product);
  // `value` as the publications carry it, trimmed.
  void SetPrice(long number, int code, const std::string& value);
  // `time` as stored: "yyyy-mm-ddThh:mm...".
  void SetPriceTime(long number, const std::string& time);
  bool price_time_known(long number) const;
  // The first of the station's two grid rows; 0 when it has no place.
  int row_of(long number) const { return grid_.RowOf(number); }
  // Every station with a place, by number: its first row.
  const std::map<long, int>& placed_stations() const { return grid_.placed(); }
  // Whether a placed station reports; nullopt before it is known.
  std::optional<Reporting> reporting(long number) const;

  int grid_rows() const { return grid_.rows(); }
  // The cells' texts, as every view shows them.
  const std::string& cell(int row, int column) const { return grid_.Text(row, column); }
  const std::vector<GridRow>& grid() const { return grid_.Texts(); }

  // The service is ending: nothing the operator does acts any more.
  bool shutting_down() const { return facts_.shutting_down; }
  void SetShuttingDown() {
    Update(Aspect::kControls, [](ServiceFacts& f) { f.shutting_down = true; });
  }
  // A manual transfer may be asked for (none under way).
  bool manual_transfer_open() const { return facts_.manual_transfer_open; }
  void SetManualTransferOpen(bool open) {
    Update(Aspect::kControls, [&](ServiceFacts& f) { f.manual_transfer_open = open; });
  }

  // Whether the operator window is shown (or sits in the tray).
  bool window_shown() const { return facts_.window_shown; }
  void SetWindowShown(bool shown) {
    Update(Aspect::kVisibility, [&](ServiceFacts& f) { f.window_shown = shown; });
  }

 private:
  void Notify(Aspect aspect, int index);
  // A cell of the station placed at `number`; none when it has no place.
  void SetStationCell(long number, int row_offset, int column, const GridCells::Fact& fact);
  void SetCell(int row, int column, const GridCells::Fact& fact);

  std::vector<StateObserver*> observers_;
  ServiceFacts facts_;
  GridCells grid_;
};

}  // namespace velunor
