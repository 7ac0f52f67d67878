// The state of the operator window's controls: a view of the service state
// (window_view.h), rendered by the Qt window. Changes are announced to the
// observers. Single-threaded: only the window's thread touches it.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "service/common/grid_cells.h"
#include "service/common/window_host.h"

namespace velunor {

enum class Control {
  kCaption,
  kInfo,
  kAlarm,
  kWarning,
  kLabel1,
  kList1,
  kFrame1,
  kGrid,
  kButton,
  kStatusBar,
  kVisibility
};

class WindowObserver {
 public:
  virtual ~WindowObserver() = default;
  // `index` is the control's index (label, button, panel, list or grid row), or -1.
  virtual void Changed(Control control, int index) = 0;
};

// What a label of the two version lines shows; the window and the status
// page pick its colours by it, so both tell a failure alike.
enum class LabelKind { kHeading, kEmpty, kFailed, kSet };

// "heading", "empty", "failed" or "set".
const char* LabelKindName(LabelKind kind);

struct VersionLabel {
  std::string text;
  LabelKind kind = LabelKind::kSet;
  friend bool operator==(const VersionLabel&, const VersionLabel&) = default;
};

// Where the eight labels stand: one row per publication kind, left to right
// heading, version, last success, last failure.
inline constexpr std::array<std::array<int, 4>, 2> kVersionLabelRows = {
    {{0, 1, 4, 6}, {2, 3, 5, 7}}};

struct ButtonState {
  std::string caption;
  bool enabled = true;
  bool visible = true;
};

class WindowModel {
 public:
  static constexpr int kGridColumns = GridCells::kColumns;
  static constexpr auto kGridCaptions = GridCells::kCaptions;
  using GridRow = GridCells::Row;

  WindowModel();

  // Observers are told of every change in the order they were added; an
  // observer must be removed before it goes.
  void AddObserver(WindowObserver* observer);
  void RemoveObserver(WindowObserver* observer);

  const std::string& caption() const { return caption_; }
  void SetCaption(const std::string& text);

  const std::string& info() const { return info_; }
  void SetInfo(const std::string& text);

  // The compliance alarm, shown in red below the status line; "" when none.
  const std::string& alarm() const { return alarm_; }
  void SetAlarm(const std::string& text);

  // A warning that needs the operator soon (the client certificate's end),
  // shown below the alarm; "" when none.
  const std::string& warning() const { return warning_; }
  void SetWarning(const std::string& text);

  // Label1(0..7); an index outside throws std::out_of_range.
  const std::string& label1(int index) const { return label1_.at(static_cast<size_t>(index)).text; }
  LabelKind label1_kind(int index) const { return label1_.at(static_cast<size_t>(index)).kind; }
  void SetLabel1(int index, const VersionLabel& label);

  const std::vector<std::string>& list1() const { return list1_; }
  int list1_selected() const { return list1_selected_; }
  void AddList1(const std::string& entry);  // appends and selects it
  void ClearList1();

  const std::string& frame1() const { return frame1_; }
  void SetFrame1(const std::string& text);

  // Station grid: row 0 is the caption row. Addressing a cell outside the
  // grid throws std::out_of_range, as the grid control raises an error.
  int grid_rows() const { return grid_.rows(); }
  void SetGridRows(int rows);
  const std::string& cell(int row, int column) const { return grid_.at(row, column); }
  void SetCell(int row, int column, const std::string& text);

  const ButtonState& button(int index) const { return buttons_.at(static_cast<size_t>(index)); }
  void SetButtonCaption(int index, const std::string& text);
  void SetButtonEnabled(int index, bool enabled);

  // Status bar panels 1 and 2.
  const std::string& panel(int number) const { return panels_.at(static_cast<size_t>(number - 1)); }
  void SetPanel(int number, const std::string& text);

  bool visible() const { return visible_; }
  void SetVisible(bool visible);

 private:
  void Notify(Control control, int index);

  std::vector<WindowObserver*> observers_;
  std::string caption_;
  std::string info_;
  std::string alarm_;
  std::string warning_;
  std::array<VersionLabel, 8> label1_;
  std::vector<std::string> list1_;
  int list1_selected_ = -1;
  std::string frame1_;
  CellRows<std::string> grid_{GridCells::CaptionTexts()};
  std::array<ButtonState, 3> buttons_;
  std::array<std::string, 2> panels_;
  bool visible_ = true;
};

}  // namespace velunor
