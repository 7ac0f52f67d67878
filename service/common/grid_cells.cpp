#include "service/common/grid_cells.h"

#include <stdexcept>

#include "service/common/text.h"

namespace velunor {

void CheckGridCell(int row, int column, int rows) {
  if (row < 0 || row >= rows || column < 0 || column >= kGridColumns) {
    throw std::out_of_range("Zelle (" + std::to_string(row) + ", " + std::to_string(column) +
                            ") liegt außerhalb des Stationsgitters");
  }
}

namespace {

template <class... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

}  // namespace

GridCells::GridCells() : facts_(CellRows<Fact>::Row{}), texts_(CaptionTexts()) {
  for (int column = 0; column < kColumns; ++column) facts_.Set(0, column, Caption{});
}

int GridCells::FuelColumn(int code) {
  if (code < 1 || code > kColumns - 2) {
    throw std::out_of_range("Kraftstoff " + std::to_string(code) + " hat keine Spalte");
  }
  return code + 1;
}

void GridCells::LayOut(int count) {
  if (count < 0) throw std::out_of_range("Ungültige Zeilenzahl des Stationsgitters");
  const int rows = 2 * count + 2;
  facts_.Resize(rows);
  texts_.Resize(rows);
  Set(1, 0, Central{});
  std::erase_if(rows_, [&](const auto& station) { return station.second >= rows; });
  placed_.resize(static_cast<size_t>(count));
}

int GridCells::Place(int place, long number, const std::string& name) {
  const int row = 2 * place + 2;
  CheckGridCell(row + 1, 0, rows());
  std::optional<long>& before = placed_[static_cast<size_t>(place)];
  if (before && RowOf(*before) == row) rows_.erase(*before);
  before = number;
  rows_[number] = row;
  Set(row, 0, Station{number, name});
  Set(row + 1, 0, std::monostate());
  return row;
}

int GridCells::RowOf(long number) const {
  const auto found = rows_.find(number);
  return found == rows_.end() ? 0 : found->second;
}

void GridCells::Set(int row, int column, const Fact& fact) {
  facts_.Set(row, column, fact);
  texts_.Set(row, column, TextOf(fact, column));
}

GridCells::Row GridCells::CaptionTexts() {
  Row captions;
  for (size_t c = 0; c < kCaptions.size(); ++c) captions[c] = kCaptions[c];
  return captions;
}

std::string GridCells::TextOf(const Fact& fact, int column) {
  return std::visit(
      Overloaded{
          [](std::monostate) { return std::string(); },
          [&](Caption) { return std::string(kCaptions[static_cast<size_t>(column)]); },
          [](Central) { return std::string("Zentrale"); },
          [](const Station& s) { return std::to_string(s.number) + " " + s.name; },
          [](const PriceTime& t) { return "     " + ReplaceAll(t.time.substr(0, 16), "T", " "); },
          [](Reporting r) {
            return std::string(r == Reporting::kYes ? "J" : r == Reporting::kNo ? "N" : "Nein");
          },
          [](NoProduct) { return std::string("----"); },
          [](Product p) { return std::to_string(p.number); },
          [](const CentralProduct& p) { return std::to_string(p.number) + " - " + p.short_name; },
          [](const Price& p) { return p.value + " €"; },
      },
      fact);
}

}  // namespace velunor
