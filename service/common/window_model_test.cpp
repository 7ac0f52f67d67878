#include "service/common/window_model.h"

#include <stdexcept>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace velunor {
namespace {

struct Recorder : WindowObserver {
  void Changed(Control c, int index) override { events.emplace_back(c, index); }
  std::vector<std::pair<Control, int>> events;
};

TEST(WindowModelTest, InitialCaptionsAndChangeNotifications) {
  WindowModel m;
  EXPECT_EQ(m.label1(0), "Version Grunddaten:");
  EXPECT_EQ(m.label1(2), "Version Preisdaten:");
  EXPECT_EQ(m.label1(7), "---");
  EXPECT_EQ(m.frame1(), "Stationen");
  EXPECT_EQ(m.button(2).caption, "Manuelle Übertragung");
  EXPECT_TRUE(m.button(2).enabled);

  Recorder r;
  m.AddObserver(&r);
  m.SetLabel1(4, {"06.12.2026 09:05:00", LabelKind::kSet});
  m.AddList1("09:05:00 a");
  m.AddList1("09:05:01 b");
  EXPECT_EQ(m.list1_selected(), 1) << "the newest line is selected";
  m.ClearList1();
  EXPECT_EQ(m.list1_selected(), -1);
  m.SetButtonEnabled(2, false);
  ASSERT_EQ(r.events.size(), 5u);
  EXPECT_EQ(r.events[0], std::make_pair(Control::kLabel1, 4));
  EXPECT_EQ(r.events[4], std::make_pair(Control::kButton, 2));
}

TEST(WindowModelTest, GridCellsOutsideTheGridAreErrors) {
  WindowModel m;
  m.SetGridRows(4);
  m.SetCell(3, 6, "1.659");
  EXPECT_EQ(m.cell(3, 6), "1.659");
  EXPECT_THROW(m.SetCell(4, 0, "x"), std::out_of_range);
  EXPECT_THROW(m.SetCell(1, 7, "x"), std::out_of_range);
  EXPECT_THROW(m.SetLabel1(8, {"x", LabelKind::kSet}), std::out_of_range);
  m.SetGridRows(2);
  EXPECT_THROW(m.cell(3, 6), std::out_of_range);
}

}  // namespace
}  // namespace velunor
