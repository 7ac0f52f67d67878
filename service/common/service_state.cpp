#include "service/common/service_state.h"

namespace velunor {

void ServiceState::AddObserver(StateObserver* observer) { observers_.push_back(observer); }

void ServiceState::RemoveObserver(StateObserver* observer) { std::erase(observers_, observer); }

void ServiceState::Notify(Aspect aspect, int index) {
  for (StateObserver* observer : observers_) observer->StateChanged(aspect, index);
}

void ServiceState::SetAlarm(const std::string& text) {
  if (text == facts_.alarm) return;
  facts_.alarm = text;
  Notify(Aspect::kAlarm, -1);
}

void ServiceState::SetWarning(const std::string& text) {
  if (text == facts_.warning) return;
  facts_.warning = text;
  Notify(Aspect::kWarning, -1);
}

const PriceWarning* ServiceState::price_warning(long station, const std::string& fuel_key) const {
  for (const PriceWarning& w : facts_.price_warnings) {
    if (w.station == station && w.fuel_key == fuel_key) return &w;
  }
  return nullptr;
}

void ServiceState::RaisePriceWarning(const PriceWarning& warning) {
  std::erase_if(facts_.price_warnings, [&](const PriceWarning& w) {
    return w.station == warning.station && w.fuel_key == warning.fuel_key;
  });
  facts_.price_warnings.push_back(warning);
  ++facts_.price_warnings_raised[warning.fuel_key];
  Notify(Aspect::kPriceWarning, static_cast<int>(facts_.price_warnings.size()) - 1);
}

void ServiceState::EndPriceWarning(long station, const std::string& fuel_key) {
  if (std::erase_if(facts_.price_warnings, [&](const PriceWarning& w) {
        return w.station == station && w.fuel_key == fuel_key;
      }) > 0) {
    Notify(Aspect::kPriceWarning, -1);
  }
}

void ServiceState::EndPriceWarningsBefore(std::int64_t epoch_seconds) {
  if (std::erase_if(facts_.price_warnings,
                    [&](const PriceWarning& w) { return w.raised_at < epoch_seconds; }) > 0) {
    Notify(Aspect::kPriceWarning, -1);
  }
}

void ServiceState::SetNumbered(PublicationKind kind, const std::string& number,
                               const std::optional<DateTime>& at) {
  PublicationRecord& record = facts_.publications[static_cast<size_t>(kind)];
  record.number = number;
  record.numbered_at = at;
  Notify(Aspect::kPublication, static_cast<int>(kind));
}

void ServiceState::SetAcknowledged(PublicationKind kind, const std::string& number,
                                   const std::optional<DateTime>& at, std::int64_t epoch_seconds) {
  PublicationRecord& record = facts_.publications[static_cast<size_t>(kind)];
  record.acknowledged_number = number;
  record.acknowledged_at = at;
  record.acknowledged_epoch_seconds = epoch_seconds;
  Notify(Aspect::kPublication, static_cast<int>(kind));
}

void ServiceState::SetTransmitted(PublicationKind kind, const std::string& number,
                                  const DateTime& at, std::int64_t epoch_seconds) {
  facts_.publications[static_cast<size_t>(kind)].failing.reset();
  SetAcknowledged(kind, number, at, epoch_seconds);
}

void ServiceState::SetFailed(PublicationKind kind, const DateTime& at,
                             PublicationRecord::Failing why) {
  PublicationRecord& record = facts_.publications[static_cast<size_t>(kind)];
  record.failed_at = at;
  record.failing = std::move(why);
  Notify(Aspect::kPublication, static_cast<int>(kind));
}

void ServiceState::AddCommunication(const std::string& line) {
  facts_.communication.push_back(line);
  Notify(Aspect::kCommunication, static_cast<int>(facts_.communication.size()) - 1);
}

void ServiceState::ClearCommunication() {
  facts_.communication.clear();
  Notify(Aspect::kCommunication, -1);
}

void ServiceState::LayOutStations(int count) {
  grid_.LayOut(count);
  Notify(Aspect::kGrid, -1);
}

void ServiceState::SetCentralProduct(int code, std::int32_t product,
                                     const std::string& short_name) {
  const int column = GridCells::FuelColumn(code);
  if (product == 0) {
    SetCell(1, column, GridCells::NoProduct{});
  } else {
    SetCell(1, column, GridCells::CentralProduct{product, short_name});
  }
}

void ServiceState::PlaceStation(int place, long number, const std::string& name) {
  const int row = grid_.Place(place, number, name);
  Notify(Aspect::kGrid, row);
  Notify(Aspect::kGrid, row + 1);
}

void ServiceState::SetReporting(long number, Reporting reporting) {
  SetStationCell(number, 0, 1, reporting);
}

void ServiceState::SetProduct(long number, int code, std::int32_t product) {
  const int column = GridCells::FuelColumn(code);
  if (product == 0) {
    SetStationCell(number, 0, column, GridCells::NoProduct{});
  } else {
    SetStationCell(number, 0, column, GridCells::Product{product});
  }
}

void ServiceState::SetPrice(long number, int code, const std::string& value) {
  SetStationCell(number, 1, GridCells::FuelColumn(code), GridCells::Price{value});
}

void ServiceState::SetPriceTime(long number, const std::string& time) {
  SetStationCell(number, 1, 0, GridCells::PriceTime{time});
}

std::optional<Reporting> ServiceState::reporting(long number) const {
  const int row = grid_.RowOf(number);
  if (row == 0) return std::nullopt;
  const Reporting* reporting = std::get_if<Reporting>(&grid_.at(row, 1));
  return reporting == nullptr ? std::nullopt : std::optional(*reporting);
}

bool ServiceState::price_time_known(long number) const {
  const int row = grid_.RowOf(number);
  return row != 0 && !std::holds_alternative<std::monostate>(grid_.at(row + 1, 0));
}

void ServiceState::SetStationCell(long number, int row_offset, int column,
                                  const GridCells::Fact& fact) {
  const int row = grid_.RowOf(number);
  if (row != 0) SetCell(row + row_offset, column, fact);
}

void ServiceState::SetCell(int row, int column, const GridCells::Fact& fact) {
  grid_.Set(row, column, fact);
  Notify(Aspect::kGrid, row);
}

}  // namespace velunor
