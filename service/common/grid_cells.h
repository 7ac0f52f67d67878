// The cells of the station rows, as the service state records them and the
// window shows them: row 0 holds the captions (the station, its reporting
// flag, then one column per fuel code, see service/db/fuels.h). A row or
// column outside throws std::out_of_range, as the grid control raised an
// error. A plain value; no notifications.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace velunor {

class GridCells {
 public:
  static constexpr int kColumns = 7;
  static constexpr std::array<const char*, kColumns> kCaptions = {
      "Station / Letzte Verstellzeit", "Aktiv", "Super E5", "Super E10", "Diesel", "LPG", "CNG"};
  using Row = std::array<std::string, kColumns>;

  GridCells();

  int rows() const { return static_cast<int>(rows_.size()); }
  void Resize(int rows);
  const std::string& at(int row, int column) const;
  void Set(int row, int column, const std::string& text);
  const std::vector<Row>& all() const { return rows_; }

 private:
  std::vector<Row> rows_;
};

}  // namespace velunor
