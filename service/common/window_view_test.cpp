#include "service/common/window_view.h"

#include <stdexcept>

#include <gtest/gtest.h>

namespace velunor {
namespace {

// What the procedures record shows in the window as the operator knows it,
// and a window opened late shows everything recorded before.
TEST(WindowViewTest, TheWindowShowsWhatTheStateRecords) {
  ServiceState state;
  state.SetReporter("Müller & Söhne");
  WindowModel window;
  WindowView view(state, window);
  EXPECT_EQ(window.frame1(), "Stationen zu Müller && Söhne");
  EXPECT_EQ(window.label1(1), "---");
  EXPECT_EQ(window.label1(6), "---");
  EXPECT_EQ(window.info(), "") << "no status line yet";

  state.SetNumbered(PublicationKind::kStation, "2026-000007", DateTime{2026, 12, 6, 9, 5, 0});
  state.SetAcknowledged(PublicationKind::kPrice, "2026-000003", DateTime{2026, 12, 6, 9, 5, 1},
                        1796544301);
  state.SetFailed(PublicationKind::kStation, DateTime{2026, 12, 6, 9, 5, 2}, {});
  EXPECT_EQ(window.label1(0), "Version Grunddaten:");
  EXPECT_EQ(window.label1(1), "G-2026-000007 am: 06.12.2026 09:05:00");
  EXPECT_EQ(window.label1(3), "---");
  EXPECT_EQ(window.label1(5), "06.12.2026 09:05:01");
  EXPECT_EQ(window.label1(6), "!! 06.12.2026 09:05:02 !!");
  EXPECT_EQ(window.label1_kind(6), LabelKind::kFailed) << "the window colours it by this";

  state.LayOutStations(1);
  state.PlaceStation(0, 7, "Nord");
  state.SetPrice(7, 1, "1.799");
  state.SetPrice(8, 1, "1.899");
  EXPECT_EQ(window.grid_rows(), 4);
  EXPECT_EQ(window.cell(2, 0), "7 Nord");
  EXPECT_EQ(window.cell(3, 2), "1.799 €") << "station 8 has no place and shows nowhere";
  EXPECT_EQ(window.cell(0, 6), "CNG") << "the caption row stays";
  EXPECT_THROW(state.PlaceStation(1, 8, "Süd"), std::out_of_range) << "as the grid control raised";

  state.AddCommunication("09:05:03 a");
  state.AddCommunication("09:05:04 b");
  EXPECT_EQ(window.list1().size(), 2u);
  EXPECT_EQ(window.list1_selected(), 1);
  state.ClearCommunication();
  EXPECT_TRUE(window.list1().empty());

  state.SetManualTransferOpen(false);
  EXPECT_FALSE(window.button(2).enabled);
  EXPECT_TRUE(window.button(1).enabled);
  state.SetManualTransferOpen(true);
  state.SetShuttingDown();
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(window.button(i).enabled) << i;
  EXPECT_EQ(window.button(1).caption, "Wird beendet!");

  state.SetWindowShown(false);
  EXPECT_FALSE(window.visible());
  state.SetAlarm("ALARM");
  state.SetStatusLine({DateTime{2026, 12, 6, 9, 5, 5}, std::nullopt, " Warten auf Auftrag"});
  EXPECT_EQ(window.alarm(), "ALARM");
  EXPECT_EQ(window.info(), "06.12.2026 09:05:05 Warten auf Auftrag");
  state.SetStatusLine(
      {DateTime{2026, 12, 6, 9, 5, 6}, 803, " DB-Verbindung verloren, warten...", 803});
  EXPECT_EQ(window.info(), "06.12.2026 09:05:06 DB-Verbindung verloren, warten... (803)");
}

}  // namespace
}  // namespace velunor
