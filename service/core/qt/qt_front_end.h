// The operator window on a desktop: renders the WindowModel with Qt widgets,
// keeps the tray icon "Velunor", runs the main timer on the window's thread
// and ends the event loop when the window quits. No Qt type appears here, so
// main can use it without Qt's headers. Single-threaded: the window's thread.
#pragma once

#include <memory>
#include <string>

#include "service/common/window_model.h"
#include "service/core/front_end.h"
#include "service/core/markt_transp.h"

namespace velunor {

// True when a window can be opened: an X11 or Wayland display is named, or a
// Qt platform is chosen explicitly (QT_QPA_PLATFORM, e.g. "offscreen").
bool QtDisplayAvailable();

class QtFrontEnd : public FrontEnd, public WindowObserver {
 public:
  // Creates the Qt application object (unless one exists), builds the still
  // hidden window and becomes `model`'s observer. `argc` and `argv` must
  // outlive the front end, `model` too.
  // REQUIRES: QtDisplayAvailable().
  QtFrontEnd(int& argc, char** argv, WindowModel& model);
  ~QtFrontEnd() override;
  QtFrontEnd(const QtFrontEnd&) = delete;
  QtFrontEnd& operator=(const QtFrontEnd&) = delete;

  // The window's whole life: Form_Load, show, Form_Activate, then the event
  // loop with the main timer ticking every `tick_ms` until the window quits.
  // After `max_ticks` ticks (0: no limit) the normal shutdown is requested,
  // as if "Beenden" were clicked at the next idle tick. Returns the exit
  // status: 0 after a normal end (also when the window is closed through its
  // title bar), 1 when the start was aborted or ProgramEnd was thrown.
  int Run(MarktTransp& window, int tick_ms, long max_ticks);

  // Run's first half without the event loop, for tests and the demo. Returns
  // false when the program already ended during start-up (see exit_code()).
  bool Start(MarktTransp& window, int tick_ms, long max_ticks);
  // True once the window has quit; exit_code() is then the exit status.
  bool finished() const;
  int exit_code() const;

  // Saves the window as it stands as a PNG file; false when that fails.
  bool SaveScreenshot(const std::string& png_path);
  // With a tick limit: the window is saved as this PNG at the first idle
  // tick after the limit, just before the shutdown; a failure to save ends
  // the program with status 1.
  void SetFinalScreenshot(const std::string& png_path);

  // FrontEnd. MessageBox also writes the text to standard error.
  void MessageBox(const std::string& text, const std::string& title) override;
  void Repaint() override;
  void AddTrayIcon() override;
  void RemoveTrayIcon() override;
  void ShowWindow() override;
  void ProcessEvents() override;
  void StartTimer() override;
  void Quit(int exit_code) override;

  // WindowObserver
  void Changed(Control control, int index) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace velunor
