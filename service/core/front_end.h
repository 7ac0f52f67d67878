// What the service window needs from the front end that shows it (headless
// or Qt) beyond messages and repaints: the tray icon, the main timer and the
// end of the event loop.
#pragma once

#include <cstdio>
#include <string>

#include "service/common/window_model.h"
#include "shared/output_line.h"

namespace velunor {

class FrontEnd : public WindowHost {
 public:
  virtual void AddTrayIcon() = 0;
  virtual void RemoveTrayIcon() = 0;
  // Restores, shows and focuses the window.
  virtual void ShowWindow() = 0;
  // Handles pending window events once.
  virtual void ProcessEvents() = 0;
  virtual void StartTimer() = 0;
  // Leaves the event loop; the program then exits with `exit_code`.
  virtual void Quit(int exit_code) = 0;
  // Why the program ends where no message box is shown: standard error only,
  // so that an aborted start always says why.
  virtual void Notice(const std::string& text) { PrintLine(stderr, "velunor: " + text); }
};

}  // namespace velunor
