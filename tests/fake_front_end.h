// The window's front end for tests: records message boxes, notices on
// standard error, the tray icon, the timer, restores of the window and the
// end of the program, and does nothing else.
#pragma once

#include <string>
#include <vector>

#include "service/core/front_end.h"
#include "tests/test_env.h"

namespace velunor::testing {

struct FakeFrontEnd : RecordingWindow<FrontEnd> {
  void AddTrayIcon() override { tray = true; }
  void RemoveTrayIcon() override { tray = false; }
  void ShowWindow() override { ++shown; }
  void ProcessEvents() override {}
  void StartTimer() override { timer = true; }
  void Quit(int code) override { exit_code = code; }
  void Notice(const std::string& text) override { notices.push_back(text); }

  std::vector<std::string> notices;  // lines on standard error
  bool tray = false;
  bool timer = false;
  int shown = 0;
  int exit_code = -1;  // -1 while the program runs
};

}  // namespace velunor::testing
