// The station grid VSF on screen: the model's caption row becomes the column
// headings, every other model row r becomes table row r - 1. Rows are shaded
// by station (a station's row and its price row share one shade), so that a
// price is read next to the right station. Read-only for the operator.
#pragma once

#include <QTableWidget>

#include "service/common/window_model.h"

namespace velunor {

class StationGrid : public QTableWidget {
 public:
  explicit StationGrid(QWidget* parent = nullptr);

  // Takes over the row count and every cell of `model`.
  void ShowAll(const WindowModel& model);
  // Takes over one model row (0: the headings). REQUIRES: row < model.grid_rows().
  void ShowRow(const WindowModel& model, int row);

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void SizeColumns();
  // Station names (and the head office) in bold, price rows in the grid's font.
  void EmphasiseName(int table_row, bool name_row);
};

}  // namespace velunor
