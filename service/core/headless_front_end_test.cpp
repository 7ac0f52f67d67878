#include "service/core/headless_front_end.h"

#include <cstdio>
#include <string>

#include <gtest/gtest.h>

namespace velunor {
namespace {

std::string Contents(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, f) != nullptr) text += buffer;
  return text;
}

TEST(HeadlessFrontEndTest, PrintsStatusChangesCommunicationAndMessagesOneLineEach) {
  WindowModel window;
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  HeadlessFrontEnd front_end(window, out, err);
  window.SetInfo("06.12.2026 09:05:00 Warten auf Auftrag");
  window.SetInfo("06.12.2026 09:05:01 Warten auf Auftrag");  // only the time moved
  window.SetInfo("06.12.2026 09:05:02 Automatischer Preisdatenexport");
  window.AddList1("09:05:03 Sending Request...");
  window.SetLabel1(5, "06.12.2026 09:05:04");  // not a line of its own
  window.SetInfo("06.12.2026 09:05:05 Warten auf Auftrag");
  front_end.MessageBox("Keine Verbindung zur Datenbank möglich", "Velunor");
  EXPECT_EQ(Contents(out),
            "06.12.2026 09:05:00 Warten auf Auftrag\n"
            "06.12.2026 09:05:02 Automatischer Preisdatenexport\n"
            "09:05:03 Sending Request...\n"
            "06.12.2026 09:05:05 Warten auf Auftrag\n"
            "Keine Verbindung zur Datenbank möglich\n");
  EXPECT_EQ(Contents(err), "velunor: Keine Verbindung zur Datenbank möglich\n");
  std::fclose(out);
  std::fclose(err);
}

}  // namespace
}  // namespace velunor
