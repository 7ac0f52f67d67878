#include "service/common/service_state.h"

#include <utility>

namespace velunor {

void ServiceState::AddObserver(StateObserver* observer) { observers_.push_back(observer); }

void ServiceState::RemoveObserver(StateObserver* observer) { std::erase(observers_, observer); }

void ServiceState::Notify(Aspect aspect, int index) {
  for (StateObserver* observer : observers_) observer->StateChanged(aspect, index);
}

void ServiceState::SetTitle(const std::string& caption, const std::string& version) {
  caption_ = caption;
  version_ = version;
  Notify(Aspect::kTitle, -1);
}

void ServiceState::SetClock(const DateTime& now) {
  clock_ = now;
  Notify(Aspect::kClock, -1);
}

void ServiceState::SetStatusLine(StatusLine line) {
  status_line_ = std::move(line);
  Notify(Aspect::kStatusLine, -1);
}

void ServiceState::SetAlarm(const std::string& text) {
  if (text == alarm_) return;
  alarm_ = text;
  Notify(Aspect::kAlarm, -1);
}

void ServiceState::SetWarning(const std::string& text) {
  if (text == warning_) return;
  warning_ = text;
  Notify(Aspect::kWarning, -1);
}

const PriceWarning* ServiceState::price_warning(long station, const std::string& fuel_key) const {
  for (const PriceWarning& w : price_warnings_) {
    if (w.station == station && w.fuel_key == fuel_key) return &w;
  }
  return nullptr;
}

void ServiceState::RaisePriceWarning(const PriceWarning& warning) {
  std::erase_if(price_warnings_, [&](const PriceWarning& w) {
    return w.station == warning.station && w.fuel_key == warning.fuel_key;
  });
  price_warnings_.push_back(warning);
  ++price_warnings_raised_[warning.fuel_key];
  Notify(Aspect::kPriceWarning, static_cast<int>(price_warnings_.size()) - 1);
}

void ServiceState::EndPriceWarning(long station, const std::string& fuel_key) {
  if (std::erase_if(price_warnings_, [&](const PriceWarning& w) {
        return w.station == station && w.fuel_key == fuel_key;
      }) > 0) {
    Notify(Aspect::kPriceWarning, -1);
  }
}

void ServiceState::EndPriceWarningsBefore(std::int64_t epoch_seconds) {
  if (std::erase_if(price_warnings_,
                    [&](const PriceWarning& w) { return w.raised_at < epoch_seconds; }) > 0) {
    Notify(Aspect::kPriceWarning, -1);
  }
}

void ServiceState::SetNumbered(PublicationKind kind, const std::string& number,
                               const std::optional<DateTime>& at) {
  PublicationRecord& record = publications_[static_cast<size_t>(kind)];
  record.number = number;
  record.numbered_at = at;
  Notify(Aspect::kPublication, static_cast<int>(kind));
}

void ServiceState::SetAcknowledged(PublicationKind kind, const std::string& number,
                                   const std::optional<DateTime>& at, std::int64_t epoch_seconds) {
  PublicationRecord& record = publications_[static_cast<size_t>(kind)];
  record.acknowledged_number = number;
  record.acknowledged_at = at;
  record.acknowledged_epoch_seconds = epoch_seconds;
  Notify(Aspect::kPublication, static_cast<int>(kind));
}

void ServiceState::SetFailed(PublicationKind kind, const DateTime& at) {
  publications_[static_cast<size_t>(kind)].failed_at = at;
  Notify(Aspect::kPublication, static_cast<int>(kind));
}

void ServiceState::AddCommunication(const std::string& line) {
  communication_.push_back(line);
  Notify(Aspect::kCommunication, static_cast<int>(communication_.size()) - 1);
}

void ServiceState::ClearCommunication() {
  communication_.clear();
  Notify(Aspect::kCommunication, -1);
}

void ServiceState::SetReporter(const std::string& name) {
  reporter_ = name;
  Notify(Aspect::kReporter, -1);
}

void ServiceState::SetGridRows(int rows) {
  grid_.Resize(rows);
  Notify(Aspect::kGrid, -1);
}

void ServiceState::SetCell(int row, int column, const GridCells::Fact& fact) {
  grid_.Set(row, column, fact);
  Notify(Aspect::kGrid, row);
}

void ServiceState::SetShuttingDown() {
  shutting_down_ = true;
  Notify(Aspect::kControls, -1);
}

void ServiceState::SetManualTransferOpen(bool open) {
  manual_transfer_open_ = open;
  Notify(Aspect::kControls, -1);
}

void ServiceState::SetWindowShown(bool shown) {
  window_shown_ = shown;
  Notify(Aspect::kVisibility, -1);
}

}  // namespace velunor
