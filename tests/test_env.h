// The service's side of the test harness, over tests/test_base.h: the one
// window host fake, a complete Env with a fake clock in a fresh folder, and
// the program folder's setup files. No database: see tests/test_support.h.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "service/common/clock.h"
#include "service/common/env.h"
#include "service/common/fehler_log.h"
#include "service/common/window_model.h"
#include "service/common/window_view.h"
#include "tests/test_base.h"

namespace velunor::testing {

// A window host (or a front end, which is one) that records its message
// boxes and counts its repaints; the front end's other calls are left to
// `Host`'s fake.
template <typename Host>
class RecordingWindow : public Host {
 public:
  void MessageBox(const std::string& text, const std::string& title) override {
    messages.push_back(text);
    titles.push_back(title);
  }
  void Repaint() override { ++repaints; }
  std::vector<std::string> messages;
  std::vector<std::string> titles;
  int repaints = 0;
};
using RecordingHost = RecordingWindow<WindowHost>;

// STATION.INI with its four values, one per line.
void WriteStationIni(const std::filesystem::path& program_dir, const std::string& server,
                     const std::string& user, const std::string& password);
// Velunor.CFG with its three lines.
void WriteSettings(const std::filesystem::path& program_dir, const std::string& subject,
                   const std::string& station_url, const std::string& price_url);

// Everything a procedure needs, built fresh per test: 2026-12-06 09:05:00.
struct TestEnv {
  TestEnv();
  TempDir dir;
  FakeClock clock;
  FehlerLog log;
  ServiceState service;
  // The operator window as a view of `service`, for checks of what it shows.
  WindowModel window;
  WindowView view{service, window};
  RecordingHost host;
  Env env;
  // Lines of MTS-Error-0.LOG.
  std::vector<std::string> ErrorLines() const;
};

}  // namespace velunor::testing
