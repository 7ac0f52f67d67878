#include "service/common/window_model.h"

#include <stdexcept>

namespace velunor {

WindowModel::WindowModel() {
  for (const ShownText& text : ShownTexts()) texts_.push_back(text.make(ServiceFacts{}));
  for (VersionLabel& label : label1_) label = {"---", LabelKind::kEmpty};
  label1_[0] = {"Version Grunddaten:", LabelKind::kHeading};
  label1_[2] = {"Version Preisdaten:", LabelKind::kHeading};
  buttons_[0].caption = "Fenster schließen";
  buttons_[1].caption = "Beenden";
  buttons_[2].caption = "Manuelle Übertragung";
}

void WindowModel::AddObserver(WindowObserver* observer) { observers_.push_back(observer); }

void WindowModel::RemoveObserver(WindowObserver* observer) { std::erase(observers_, observer); }

void WindowModel::Notify(Control control, int index) {
  for (WindowObserver* observer : observers_) observer->Changed(control, index);
}

void WindowModel::SetText(int index, const std::string& text) {
  texts_.at(static_cast<size_t>(index)) = text;
  Notify(Control::kText, index);
}

void WindowModel::SetLabel1(int index, const VersionLabel& label) {
  label1_.at(static_cast<size_t>(index)) = label;
  Notify(Control::kLabel1, index);
}

void WindowModel::AddList1(const std::string& entry) {
  list1_.push_back(entry);
  list1_selected_ = static_cast<int>(list1_.size()) - 1;
  Notify(Control::kList1, list1_selected_);
}

void WindowModel::ClearList1() {
  list1_.clear();
  list1_selected_ = -1;
  Notify(Control::kList1, -1);
}

void WindowModel::SetGridRows(int rows) {
  grid_.Resize(rows);
  Notify(Control::kGrid, -1);
}

void WindowModel::SetCell(int row, int column, const std::string& text) {
  grid_.Set(row, column, text);
  Notify(Control::kGrid, row);
}

void WindowModel::SetButtonCaption(int index, const std::string& text) {
  buttons_.at(static_cast<size_t>(index)).caption = text;
  Notify(Control::kButton, index);
}

void WindowModel::SetButtonEnabled(int index, bool enabled) {
  buttons_.at(static_cast<size_t>(index)).enabled = enabled;
  Notify(Control::kButton, index);
}

void WindowModel::SetVisible(bool visible) {
  visible_ = visible;
  Notify(Control::kVisibility, -1);
}

}  // namespace velunor
