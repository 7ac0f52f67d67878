#include "service/core/qt/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>
#include <utility>

#include "service/common/window_texts.h"
#include "service/core/qt/app_icon.h"
#include "service/core/qt/station_grid.h"

namespace velunor {

namespace {

// Calm colours: dark text on light grey, one blue for structure, red only for
// a failed transmission, so that a failure is seen from across the room.
// Sizes are set here rather than with setFont: a style sheet stops fonts from
// passing from a widget to its children. The sizes below must match "font-size".
constexpr int kBasePoints = 12;
constexpr int kInfoPoints = 17;
constexpr const char* kStyle = R"(
QWidget { font-size: 12pt; }
QMainWindow, QWidget#Central { background: #f4f6f8; }
QLabel { color: #1f2933; }
QLabel#Info {
  background: #ffffff; border: 1px solid #cfd8e3; border-left: 6px solid #1f5f8b;
  border-radius: 4px; padding: 10px 14px; font-size: 17pt; font-weight: bold;
}
QFrame#Versions, QFrame#Frame1 {
  background: #ffffff; border: 1px solid #cfd8e3; border-radius: 4px;
}
QLabel#Label1_0, QLabel#Label1_2, QLabel#Label2, QLabel#Frame1Caption { color: #1f5f8b; font-weight: bold; }
QLabel#Alarm {
  color: #ffffff; background: #b3261e; border-radius: 4px; padding: 8px 14px; font-weight: bold;
}
QLabel#Warning {
  color: #5c3c00; background: #ffe8a3; border-radius: 4px; padding: 8px 14px; font-weight: bold;
}
QLabel[when="empty"] { color: #8a96a3; }
QLabel[when="failed"] {
  color: #b3261e; background: #fdecea; border: 1px solid #e8a39d; border-radius: 3px;
  font-weight: bold; padding: 2px 6px;
}
QListWidget { background: #ffffff; border: 1px solid #cfd8e3; border-radius: 4px; padding: 4px; }
QListWidget::item:selected { background: #dbe7f3; color: #1f2933; }
QTableWidget { border: none; gridline-color: #e1e7ee; }
QHeaderView::section {
  background: #e9eef4; color: #1f2933; font-weight: bold; border: none;
  border-bottom: 2px solid #1f5f8b; padding: 6px 4px;
}
QPushButton {
  background: #ffffff; border: 1px solid #9fb3c8; border-radius: 4px; padding: 8px 22px;
}
QPushButton:hover { background: #eef4fa; }
QPushButton:pressed { background: #dbe7f3; }
QPushButton:disabled { color: #9aa5b1; border-color: #d5dde5; background: #f4f6f8; }
QStatusBar { background: #e9eef4; }
QStatusBar QLabel { padding: 2px 8px; }
)";

QLabel* NewLabel(const QString& name, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  return label;
}

QString Text(const std::string& text) { return QString::fromStdString(text); }

// The font the style sheet gives a widget, for sizes computed before it is polished.
QFont BaseFont(bool bold = false) {
  QFont font = QApplication::font();
  font.setPointSize(kBasePoints);
  font.setBold(bold);
  return font;
}

}  // namespace

MainWindow::MainWindow(const WindowModel& model) : model_(model) {
  setObjectName("MarktTransp");
  setWindowIcon(AppIcon());
  setStyleSheet(kStyle);

  auto* central = new QWidget(this);
  central->setObjectName("Central");
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(18, 16, 18, 12);
  layout->setSpacing(14);

  texts_.resize(ShownTexts().size());
  QLabel* info = Place("info", NewLabel("Info", central));
  QFont info_font = BaseFont(true);
  info_font.setPointSize(kInfoPoints);
  info->setMinimumHeight(QFontMetrics(info_font).height() + 24);  // no jump at the first status
  layout->addWidget(info);
  for (const auto& [text, object] :
       {std::pair{"alarm", "Alarm"}, std::pair{"warning", "Warning"}}) {
    // Hidden while there is none.
    QLabel* line = Place(text, NewLabel(object, central));
    line->setWordWrap(true);
    line->setVisible(false);
    line->setProperty("hiddenWhenEmpty", true);
    layout->addWidget(line);
  }
  layout->addWidget(BuildVersions());
  layout->addWidget(BuildCommunication(), 2);
  layout->addWidget(BuildStations(), 5);
  layout->addWidget(BuildButtons());
  setCentralWidget(central);

  statusBar()->addWidget(Place("version", NewLabel("StatusBar1_1", this)), 1);
  statusBar()->addPermanentWidget(Place("clock", NewLabel("StatusBar1_2", this)));
  statusBar()->setSizeGripEnabled(false);

  resize(1280, 900);
  RenderAll();
}

QWidget* MainWindow::BuildVersions() {
  auto* box = new QFrame;
  box->setObjectName("Versions");
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(14, 10, 14, 10);
  grid->setHorizontalSpacing(24);
  grid->setVerticalSpacing(8);
  // Left to right: heading, version, last success, last failure.
  for (int row = 0; row < 2; ++row) {
    for (int column = 0; column < 4; ++column) {
      const int index = kVersionLabelRows[static_cast<size_t>(row)][static_cast<size_t>(column)];
      label1_[static_cast<size_t>(index)] = NewLabel("Label1_" + QString::number(index), box);
      // Aligned, so that a framed failure is boxed as wide as its text.
      grid->addWidget(label1_[static_cast<size_t>(index)], row, column,
                      Qt::AlignLeft | Qt::AlignVCenter);
    }
  }
  // Room for a whole version text, so that the columns stay put when the
  // first publication replaces "---"; the free space goes to the right.
  const QFontMetrics metrics(BaseFont());
  grid->setColumnMinimumWidth(
      1, metrics.horizontalAdvance("G-2026-000000 am: 2026-12-31T23:59:59+01:00"));
  grid->setColumnMinimumWidth(2, metrics.horizontalAdvance("31.12.2026 23:59:59"));
  grid->setColumnMinimumWidth(
      3, QFontMetrics(BaseFont(true)).horizontalAdvance("!! 31.12.2026 23:59:59 !!") + 16);
  grid->setColumnStretch(4, 1);
  return box;
}

QWidget* MainWindow::BuildCommunication() {
  auto* area = new QWidget;
  auto* layout = new QVBoxLayout(area);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  auto* heading = NewLabel("Label2", area);
  heading->setText("Kommunikation:");
  list1_ = new QListWidget(area);
  list1_->setObjectName("List1");
  list1_->setFocusPolicy(Qt::NoFocus);
  list1_->setUniformItemSizes(true);
  list1_->setMinimumHeight(QFontMetrics(BaseFont()).height() * 5);
  layout->addWidget(heading);
  layout->addWidget(list1_);
  return area;
}

QWidget* MainWindow::BuildStations() {
  auto* frame = new QFrame;
  frame->setObjectName("Frame1");
  auto* layout = new QVBoxLayout(frame);
  layout->setContentsMargins(1, 8, 1, 1);
  layout->setSpacing(6);
  QLabel* caption = Place("frame1", NewLabel("Frame1Caption", frame));
  caption->setContentsMargins(12, 0, 12, 0);
  grid_ = new StationGrid(frame);
  layout->addWidget(caption);
  layout->addWidget(grid_);
  return frame;
}

QWidget* MainWindow::BuildButtons() {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(12);
  layout->addStretch(1);
  for (int i = 0; i < 3; ++i) {
    auto* button = new QPushButton(row);
    button->setObjectName("Command1_" + QString::number(i));
    button->setAutoDefault(false);
    buttons_[static_cast<size_t>(i)] = button;
    layout->addWidget(button);
  }
  return row;
}

QLabel* MainWindow::Place(const char* text, QLabel* label) {
  texts_.at(static_cast<size_t>(ShownTextIndex(text))) = label;
  return label;
}

void MainWindow::RenderAll() {
  for (size_t i = 0; i < texts_.size(); ++i) Render(Control::kText, static_cast<int>(i));
  for (int i = 0; i < 8; ++i) Render(Control::kLabel1, i);
  Render(Control::kList1, -1);
  Render(Control::kGrid, -1);
  for (int i = 0; i < 3; ++i) Render(Control::kButton, i);
}

void MainWindow::RenderText(int index) {
  const ShownText& shown = ShownTexts().at(static_cast<size_t>(index));
  const std::string& text = model_.text(index);
  QLabel* label = texts_.at(static_cast<size_t>(index));
  // A text without a label of its own is the window's title.
  if (label == nullptr) {
    setWindowTitle(Text(text));
    return;
  }
  label->setText(Text(shown.access_keys ? VisibleCaption(text) : text));
  if (label->property("hiddenWhenEmpty").toBool()) label->setVisible(!text.empty());
}

void MainWindow::Render(Control control, int index) {
  switch (control) {
    case Control::kText:
      RenderText(index);
      break;
    case Control::kLabel1:
      RenderLabel1(index);
      break;
    case Control::kList1:
      RenderList1();
      break;
    case Control::kGrid:
      if (index < 0) {
        grid_->ShowAll(model_);
      } else {
        grid_->ShowRow(model_, index);
      }
      break;
    case Control::kButton: {
      const ButtonState& state = model_.button(index);
      QPushButton* button = buttons_.at(static_cast<size_t>(index));
      button->setText(Text(state.caption));
      button->setEnabled(state.enabled);
      button->setVisible(state.visible);
      break;
    }
    case Control::kVisibility:
      break;
  }
}

void MainWindow::RenderLabel1(int index) {
  QLabel* label = label1_.at(static_cast<size_t>(index));
  label->setText(Text(model_.label1(index)));
  const LabelKind kind = model_.label1_kind(index);
  if (kind == LabelKind::kHeading) return;  // styled by name in the style sheet
  const char* when = LabelKindName(kind);
  if (label->property("when").toString() == when) return;
  label->setProperty("when", when);
  // The style sheet picks the colours by this property; re-polish to apply it.
  label->style()->unpolish(label);
  label->style()->polish(label);
}

void MainWindow::RenderList1() {
  const std::vector<std::string>& lines = model_.list1();
  if (static_cast<size_t>(list1_->count()) > lines.size()) list1_->clear();
  // Lines are only ever appended or all cleared, so the widget's lines are a
  // prefix of the model's.
  for (size_t i = static_cast<size_t>(list1_->count()); i < lines.size(); ++i) {
    list1_->addItem(Text(lines[i]));
  }
  const int selected = model_.list1_selected();
  list1_->setCurrentRow(selected);
  if (selected >= 0) list1_->scrollToItem(list1_->item(selected));
}

void MainWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  emit closeRequested();
}

void MainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && !isMinimized()) emit restored();
}

}  // namespace velunor
