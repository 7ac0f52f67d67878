#include "service/common/grid_cells.h"

#include <stdexcept>

namespace velunor {

namespace {

void CheckCell(int row, int column, int rows) {
  if (row < 0 || row >= rows || column < 0 || column >= GridCells::kColumns) {
    throw std::out_of_range("Zelle (" + std::to_string(row) + ", " + std::to_string(column) +
                            ") liegt außerhalb des Stationsgitters");
  }
}

}  // namespace

GridCells::GridCells() {
  rows_.resize(1);
  for (size_t c = 0; c < kCaptions.size(); ++c) rows_[0][c] = kCaptions[c];
}

void GridCells::Resize(int rows) {
  if (rows < 0) throw std::out_of_range("Ungültige Zeilenzahl des Stationsgitters");
  rows_.resize(static_cast<size_t>(rows));
}

const std::string& GridCells::at(int row, int column) const {
  CheckCell(row, column, this->rows());
  return rows_[static_cast<size_t>(row)][static_cast<size_t>(column)];
}

void GridCells::Set(int row, int column, const std::string& text) {
  CheckCell(row, column, this->rows());
  rows_[static_cast<size_t>(row)][static_cast<size_t>(column)] = text;
}

}  // namespace velunor
