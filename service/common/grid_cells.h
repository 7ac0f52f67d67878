// The station rows as the service state records them: below the caption row,
// row 1 is the company's central fuel assignment, then two rows per station
// place (its number and name, whether it reports and the product of each
// fuel; the time of its last price change and each fuel's price). Each cell
// holds a fact, and GridCells::Text is the one place that makes its text.
// Columns: the station, its reporting flag, then one column per fuel code
// 1 to 5 (see service/db/fuels.h). Stations are found by their number: the
// layout gives each a place. A row, column or place outside throws
// std::out_of_range, as the grid control raised an error. A plain value; no
// notifications.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace velunor {

// Whether a station reports, as the reporting column shows it.
enum class Reporting { kYes, kNo, kDeactivated };

// Throws std::out_of_range unless the cell lies within `rows` rows.
void CheckGridCell(int row, int column, int rows);

inline constexpr int kGridColumns = 7;

// Rows of cells below (and with) the caption row 0.
template <class Cell>
class CellRows {
 public:
  using Row = std::array<Cell, kGridColumns>;
  explicit CellRows(Row captions) : rows_{std::move(captions)} {}

  int rows() const { return static_cast<int>(rows_.size()); }
  void Resize(int rows) {
    if (rows < 0) throw std::out_of_range("Ungültige Zeilenzahl des Stationsgitters");
    rows_.resize(static_cast<size_t>(rows));
  }
  const Cell& at(int row, int column) const {
    CheckGridCell(row, column, this->rows());
    return rows_[static_cast<size_t>(row)][static_cast<size_t>(column)];
  }
  void Set(int row, int column, const Cell& cell) {
    CheckGridCell(row, column, this->rows());
    rows_[static_cast<size_t>(row)][static_cast<size_t>(column)] = cell;
  }
  const std::vector<Row>& all() const { return rows_; }

 private:
  std::vector<Row> rows_;
};

class GridCells {
 public:
  static constexpr int kColumns = kGridColumns;
  static constexpr std::array<const char*, kColumns> kCaptions = {
      "Station / Letzte Verstellzeit", "Aktiv", "Super E5", "Super E10", "Diesel", "LPG", "CNG"};
  using Row = std::array<std::string, kColumns>;

  // The facts a cell can hold; std::monostate is an empty cell.
  struct Caption {};
  struct Central {};  // the heading of the central assignment's row
  struct Station {
    long number = 0;
    std::string name;
  };
  struct PriceTime {
    std::string time;  // as stored: "yyyy-mm-ddThh:mm..."
  };
  struct NoProduct {};  // the fuel is not sold
  struct Product {
    std::int32_t number = 0;
  };
  struct CentralProduct {
    std::int32_t number = 0;
    std::string short_name;
  };
  struct Price {
    std::string value;  // the decimal as the publications carry it, trimmed
  };
  using Fact = std::variant<std::monostate, Caption, Central, Station, PriceTime, Reporting,
                            NoProduct, Product, CentralProduct, Price>;

  GridCells();

  // The column of fuel `code` and its caption; std::out_of_range unless
  // 1 <= code <= 5.
  static int FuelColumn(int code);
  static const char* FuelCaption(int code) {
    return kCaptions[static_cast<size_t>(FuelColumn(code))];
  }

  int rows() const { return facts_.rows(); }
  // Rows for the central assignment and `count` station places; the
  // stations beyond lose their places.
  void LayOut(int count);
  // Station `number` takes place `place` (0 is the first) with its name and
  // an empty price time, and loses any other place; returns its first row.
  int Place(int place, long number, const std::string& name);
  // The first of station `number`'s two rows; 0 when it has no place.
  int RowOf(long number) const;
  // Every station with a place, by number: its first row.
  const std::map<long, int>& placed() const { return rows_; }
  const Fact& at(int row, int column) const { return facts_.at(row, column); }
  void Set(int row, int column, const Fact& fact);
  // The cells' texts as the window shows them, made as each fact is set:
  // every view reads them at every tick.
  const std::string& Text(int row, int column) const { return texts_.at(row, column); }
  const std::vector<Row>& Texts() const { return texts_.all(); }
  // The caption row's texts.
  static Row CaptionTexts();

 private:
  static std::string TextOf(const Fact& fact, int column);

  CellRows<Fact> facts_;
  CellRows<std::string> texts_;
  std::map<long, int> rows_;                 // by station number
  std::vector<std::optional<long>> placed_;  // by place: the station last put there
};

}  // namespace velunor
