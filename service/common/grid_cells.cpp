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

GridCells::GridCells() : facts_(CellRows<Fact>::Row{}) {
  for (int column = 0; column < kColumns; ++column) facts_.Set(0, column, Caption{});
}

GridCells::Row GridCells::CaptionTexts() {
  Row captions;
  for (size_t c = 0; c < kCaptions.size(); ++c) captions[c] = kCaptions[c];
  return captions;
}

std::string GridCells::Text(int row, int column) const {
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
      at(row, column));
}

std::vector<GridCells::Row> GridCells::Texts() const {
  std::vector<Row> texts(static_cast<size_t>(rows()));
  for (int row = 0; row < rows(); ++row) {
    for (int column = 0; column < kColumns; ++column) {
      texts[static_cast<size_t>(row)][static_cast<size_t>(column)] = Text(row, column);
    }
  }
  return texts;
}

}  // namespace velunor
