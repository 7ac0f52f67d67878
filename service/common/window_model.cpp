#include "service/common/window_model.h"

#include <stdexcept>

namespace velunor {

const char* LabelKindName(LabelKind kind) {
  switch (kind) {
    case LabelKind::kHeading:
      return "heading";
    case LabelKind::kEmpty:
      return "empty";
    case LabelKind::kFailed:
      return "failed";
    case LabelKind::kSet:
      break;
  }
  return "set";
}

WindowModel::WindowModel() {
  for (VersionLabel& label : label1_) label = {"---", LabelKind::kEmpty};
  label1_[0] = {"Version Grunddaten:", LabelKind::kHeading};
  label1_[2] = {"Version Preisdaten:", LabelKind::kHeading};
  frame1_ = "Stationen";
  buttons_[0].caption = "Fenster schließen";
  buttons_[1].caption = "Beenden";
  buttons_[2].caption = "Manuelle Übertragung";
}

void WindowModel::AddObserver(WindowObserver* observer) { observers_.push_back(observer); }

void WindowModel::RemoveObserver(WindowObserver* observer) { std::erase(observers_, observer); }

void WindowModel::Notify(Control control, int index) {
  for (WindowObserver* observer : observers_) observer->Changed(control, index);
}

void WindowModel::SetCaption(const std::string& text) {
  caption_ = text;
  Notify(Control::kCaption, -1);
}

void WindowModel::SetInfo(const std::string& text) {
  info_ = text;
  Notify(Control::kInfo, -1);
}

void WindowModel::SetAlarm(const std::string& text) {
  if (text == alarm_) return;
  alarm_ = text;
  Notify(Control::kAlarm, -1);
}

void WindowModel::SetWarning(const std::string& text) {
  if (text == warning_) return;
  warning_ = text;
  Notify(Control::kWarning, -1);
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

void WindowModel::SetFrame1(const std::string& text) {
  frame1_ = text;
  Notify(Control::kFrame1, -1);
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

void WindowModel::SetPanel(int number, const std::string& text) {
  panels_.at(static_cast<size_t>(number - 1)) = text;
  Notify(Control::kStatusBar, number);
}

void WindowModel::SetVisible(bool visible) {
  visible_ = visible;
  Notify(Control::kVisibility, -1);
}

}  // namespace velunor
