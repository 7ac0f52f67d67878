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

void GridCells::Resize(int rows) {
  facts_.Resize(rows);
  texts_.Resize(rows);
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
