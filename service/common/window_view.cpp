#include "service/common/window_view.h"

#include <algorithm>
#include <string>
#include <vector>

#include "service/common/window_texts.h"

namespace velunor {

WindowView::WindowView(ServiceState& state, WindowModel& window) : state_(state), window_(window) {
  for (Aspect aspect : kEveryAspect) StateChanged(aspect, -1);
  state_.AddObserver(this);
}

WindowView::~WindowView() { state_.RemoveObserver(this); }

void WindowView::StateChanged(Aspect aspect, int index) {
  const std::vector<ShownText>& texts = ShownTexts();
  for (size_t i = 0; i < texts.size(); ++i) {
    if (std::find(texts[i].aspects.begin(), texts[i].aspects.end(), aspect) ==
        texts[i].aspects.end()) {
      continue;
    }
    const int at = static_cast<int>(i);
    const std::string text = texts[i].make(state_.facts());
    if (window_.text(at) != text) window_.SetText(at, text);
  }
  switch (aspect) {
    case Aspect::kPublication: {
      const std::array<VersionLabel, 8> labels = VersionLabels(state_.facts());
      for (int i = 0; i < 8; ++i) {
        const VersionLabel& label = labels[static_cast<size_t>(i)];
        if (window_.label1(i) != label.text || window_.label1_kind(i) != label.kind) {
          window_.SetLabel1(i, label);
        }
      }
      break;
    }
    case Aspect::kCommunication:
      if (index < 0) {
        window_.ClearList1();
      } else {
        window_.AddList1(state_.communication()[static_cast<size_t>(index)]);
      }
      break;
    case Aspect::kGrid:
      if (index >= 0) {
        ShowGridRow(index);
        break;
      }
      if (window_.grid_rows() != state_.grid_rows()) window_.SetGridRows(state_.grid_rows());
      for (int row = 0; row < state_.grid_rows(); ++row) ShowGridRow(row);
      break;
    case Aspect::kControls:
      for (int i = 0; i < 3; ++i) {
        const bool enabled = !state_.shutting_down() && (i != 2 || state_.manual_transfer_open());
        if (window_.button(i).enabled != enabled) window_.SetButtonEnabled(i, enabled);
      }
      if (state_.shutting_down() && window_.button(1).caption != "Wird beendet!") {
        window_.SetButtonCaption(1, "Wird beendet!");
      }
      break;
    case Aspect::kVisibility:
      if (window_.visible() != state_.window_shown()) window_.SetVisible(state_.window_shown());
      break;
    default:  // only texts
      break;
  }
}

void WindowView::ShowGridRow(int row) {
  for (int column = 0; column < ServiceState::kGridColumns; ++column) {
    const std::string& text = state_.cell(row, column);
    if (window_.cell(row, column) != text) window_.SetCell(row, column, text);
  }
}

}  // namespace velunor
