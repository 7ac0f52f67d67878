// The operator window as a view of the service state: keeps a WindowModel
// (which the Qt window renders) equal to what the state shows, control by
// control as the state changes. Single-threaded: the window's thread.
#pragma once

#include "service/common/service_state.h"
#include "service/common/window_model.h"

namespace velunor {

class WindowView : public StateObserver {
 public:
  // Shows the whole state at once; both must outlive the view.
  WindowView(ServiceState& state, WindowModel& window);
  ~WindowView() override;
  WindowView(const WindowView&) = delete;
  WindowView& operator=(const WindowView&) = delete;

  void StateChanged(Aspect aspect, int index) override;

 private:
  void ShowGridRow(int row);

  ServiceState& state_;
  WindowModel& window_;
};

}  // namespace velunor
