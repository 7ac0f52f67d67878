// The state of the operator window's controls: a view of the service state
// (window_view.h), rendered by the Qt window. Changes are announced to the
// observers. Single-threaded: only the window's thread touches it.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "service/common/grid_cells.h"
#include "service/common/window_host.h"
#include "service/common/window_texts.h"

namespace velunor {

enum class Control {
  kText,  // index: the place in ShownTexts()
  kLabel1,
  kList1,
  kGrid,
  kButton,
  kVisibility
};

class WindowObserver {
 public:
  virtual ~WindowObserver() = default;
  // `index` is the control's index (text, label, button, list or grid row), or -1.
  virtual void Changed(Control control, int index) = 0;
};

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

  // The texts of ShownTexts(), by their place there or their name (an
  // unknown one throws std::out_of_range); the window model keeps them as
  // made, captions in the access-key notation.
  const std::string& text(int index) const { return texts_.at(static_cast<size_t>(index)); }
  const std::string& text(std::string_view name) const { return text(ShownTextIndex(name)); }
  void SetText(int index, const std::string& text);
  // The window's caption, the status line, the compliance alarm (shown in
  // red below it, "" when none), the warning that needs the operator soon
  // (below the alarm, "" when none) and the caption above the stations.
  const std::string& caption() const { return text("caption"); }
  const std::string& info() const { return text("info"); }
  const std::string& alarm() const { return text("alarm"); }
  const std::string& warning() const { return text("warning"); }
  const std::string& frame1() const { return text("frame1"); }

  // Label1(0..7); an index outside throws std::out_of_range.
  const std::string& label1(int index) const { return label1_.at(static_cast<size_t>(index)).text; }
  LabelKind label1_kind(int index) const { return label1_.at(static_cast<size_t>(index)).kind; }
  void SetLabel1(int index, const VersionLabel& label);

  const std::vector<std::string>& list1() const { return list1_; }
  int list1_selected() const { return list1_selected_; }
  void AddList1(const std::string& entry);  // appends and selects it
  void ClearList1();

  // Station grid: row 0 is the caption row. Addressing a cell outside the
  // grid throws std::out_of_range, as the grid control raises an error.
  int grid_rows() const { return grid_.rows(); }
  void SetGridRows(int rows);
  const std::string& cell(int row, int column) const { return grid_.at(row, column); }
  void SetCell(int row, int column, const std::string& text);

  const ButtonState& button(int index) const { return buttons_.at(static_cast<size_t>(index)); }
  void SetButtonCaption(int index, const std::string& text);
  void SetButtonEnabled(int index, bool enabled);

  bool visible() const { return visible_; }
  void SetVisible(bool visible);

 private:
  void Notify(Control control, int index);

  std::vector<WindowObserver*> observers_;
  std::vector<std::string> texts_;
  std::array<VersionLabel, 8> label1_;
  std::vector<std::string> list1_;
  int list1_selected_ = -1;
  CellRows<std::string> grid_{GridCells::CaptionTexts()};
  std::array<ButtonState, 3> buttons_;
  bool visible_ = true;
};

}  // namespace velunor
