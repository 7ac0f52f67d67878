#include "service/core/qt/station_grid.h"

#include <QEvent>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

namespace velunor {

namespace {

const QColor kHeadOfficeShade(0xe3, 0xeb, 0xf5);
const QColor kStationShade(0xf2, 0xf5, 0xf9);
const QColor kPlainShade(Qt::white);

// Keeps the texts off the grid's left edge; the row's shade still fills the cell.
class InsetDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const QVariant shade = index.data(Qt::BackgroundRole);
    if (shade.canConvert<QBrush>()) painter->fillRect(option.rect, shade.value<QBrush>());
    QStyleOptionViewItem inset = option;
    inset.rect.adjust(kInset, 0, -kInset, 0);
    QStyledItemDelegate::paint(painter, inset, index);
  }

 private:
  static constexpr int kInset = 10;
};

}  // namespace

StationGrid::StationGrid(QWidget* parent) : QTableWidget(0, WindowModel::kGridColumns, parent) {
  setObjectName("VSF");
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::NoSelection);
  setFocusPolicy(Qt::NoFocus);
  setWordWrap(false);
  setShowGrid(false);
  setCornerButtonEnabled(false);
  verticalHeader()->hide();
  setItemDelegate(new InsetDelegate(this));
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
  SizeColumns();
}

void StationGrid::SizeColumns() {
  // Fixed widths for the fuel columns, as wide as the widest caption, so that
  // a new price never makes the columns jump; the station column takes the rest.
  const QFontMetrics metrics(font());
  int fuel_width = 0;
  for (int column = 2; column < WindowModel::kGridColumns; ++column) {
    const QString caption =
        QString::fromUtf8(WindowModel::kGridCaptions[static_cast<size_t>(column)]);
    fuel_width = std::max(fuel_width, metrics.horizontalAdvance("  " + caption + "  ") + 24);
  }
  horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  horizontalHeader()->setSectionResizeMode(1, QHeaderView::Fixed);
  setColumnWidth(1, metrics.horizontalAdvance("  Aktiv  ") + 24);
  for (int column = 2; column < WindowModel::kGridColumns; ++column) {
    horizontalHeader()->setSectionResizeMode(column, QHeaderView::Fixed);
    setColumnWidth(column, fuel_width);
  }
  verticalHeader()->setDefaultSectionSize(metrics.height() + 12);
}

void StationGrid::changeEvent(QEvent* event) {
  QTableWidget::changeEvent(event);
  if (event->type() != QEvent::FontChange) return;
  SizeColumns();
  // A name's bold font was made from the old size.
  for (int table_row = 0; table_row < rowCount(); ++table_row) {
    EmphasiseName(table_row, table_row == 0 || table_row % 2 == 1);
  }
}

void StationGrid::ShowAll(const WindowModel& model) {
  setRowCount(model.grid_rows() > 0 ? model.grid_rows() - 1 : 0);
  for (int row = 0; row < model.grid_rows(); ++row) ShowRow(model, row);
}

void StationGrid::ShowRow(const WindowModel& model, int row) {
  if (row == 0) {
    QStringList headings;
    for (int column = 0; column < WindowModel::kGridColumns; ++column) {
      headings << QString::fromStdString(model.cell(0, column));
    }
    setHorizontalHeaderLabels(headings);
    return;
  }
  if (row - 1 >= rowCount()) setRowCount(row);
  // Row 1 is the head office; a station owns the even row 2i and the odd row after it.
  const QColor shade =
      row == 1 ? kHeadOfficeShade : ((row / 2) % 2 == 1 ? kStationShade : kPlainShade);
  const bool name_row = row == 1 || row % 2 == 0;
  for (int column = 0; column < WindowModel::kGridColumns; ++column) {
    QTableWidgetItem* cell = item(row - 1, column);
    if (cell == nullptr) {
      cell = new QTableWidgetItem;
      setItem(row - 1, column, cell);
    }
    cell->setText(QString::fromStdString(model.cell(row, column)));
    cell->setTextAlignment(Qt::AlignVCenter | (column == 0 ? Qt::AlignLeft : Qt::AlignHCenter));
    cell->setBackground(shade);
  }
  EmphasiseName(row - 1, name_row);
}

void StationGrid::EmphasiseName(int table_row, bool name_row) {
  QTableWidgetItem* cell = item(table_row, 0);
  if (cell == nullptr) return;
  if (name_row) {
    QFont bold = font();
    bold.setBold(true);
    cell->setFont(bold);
  } else {
    cell->setData(Qt::FontRole, QVariant());  // the grid's own font
  }
}

}  // namespace velunor
