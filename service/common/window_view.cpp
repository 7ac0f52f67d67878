#include "service/common/window_view.h"

#include "service/common/window_texts.h"

namespace velunor {

namespace {

constexpr Aspect kEveryAspect[] = {Aspect::kTitle,         Aspect::kClock,     Aspect::kStatusLine,
                                   Aspect::kAlarm,         Aspect::kWarning,   Aspect::kPublication,
                                   Aspect::kCommunication, Aspect::kReporter,  Aspect::kGrid,
                                   Aspect::kControls,      Aspect::kVisibility};

}  // namespace

WindowView::WindowView(ServiceState& state, WindowModel& window) : state_(state), window_(window) {
  for (Aspect aspect : kEveryAspect) StateChanged(aspect, -1);
  state_.AddObserver(this);
}

WindowView::~WindowView() { state_.RemoveObserver(this); }

void WindowView::StateChanged(Aspect aspect, int index) {
  switch (aspect) {
    case Aspect::kTitle:
      if (window_.caption() != state_.caption()) window_.SetCaption(state_.caption());
      if (window_.panel(1) != state_.version()) window_.SetPanel(1, state_.version());
      break;
    case Aspect::kClock:
      window_.SetPanel(2, ClockText(state_.facts()));
      break;
    case Aspect::kStatusLine:
      window_.SetInfo(StatusLineText(state_.status_line()));
      break;
    case Aspect::kAlarm:
      window_.SetAlarm(state_.alarm());
      break;
    case Aspect::kWarning:
    case Aspect::kPriceWarning:
      window_.SetWarning(WarningText(state_.facts()));
      break;
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
    case Aspect::kReporter:
      if (window_.frame1() != Frame1Text(state_.facts()))
        window_.SetFrame1(Frame1Text(state_.facts()));
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
  }
}

void WindowView::ShowGridRow(int row) {
  for (int column = 0; column < ServiceState::kGridColumns; ++column) {
    const std::string& text = state_.cell(row, column);
    if (window_.cell(row, column) != text) window_.SetCell(row, column, text);
  }
}

}  // namespace velunor
