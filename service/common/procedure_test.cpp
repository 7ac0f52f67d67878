#include "service/common/procedure.h"

#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "tests/test_base.h"

namespace velunor {
namespace {

class ProcedureTest : public ::testing::Test {
 protected:
  std::string LogText() const { return tmp_.Read("MTS-Error-0.LOG"); }
  testing::TempDir tmp_;
  const std::filesystem::path& dir_ = tmp_.path();
  FakeClock clock_{DateTime{2026, 12, 6, 9, 5, 0}};
  FehlerLog log_{dir_, clock_};
};

TEST_F(ProcedureTest, FailedStepIsLoggedAndTheNextStepRuns) {
  Procedure p(log_, "DB_Preisdaten");
  std::vector<int> ran;
  EXPECT_TRUE(p.Run([&] { ran.push_back(1); }));
  EXPECT_FALSE(p.At(7).With("update x").Run([&] {
    ran.push_back(2);
    throw Failure(1146, "Table 'lox.x' doesn't exist");
  }));
  EXPECT_FALSE(p.Run([&] { throw std::out_of_range("Station 1001"); }));
  EXPECT_TRUE(p.Run([&] { ran.push_back(3); }));
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(p.failures(), 2);
  EXPECT_EQ(LogText(),
            "12-06-2026 09:05:00 --> DB_Preisdaten / 1146 / Zeile: 7 Table 'lox.x' doesn't exist "
            "/ update x\r\n"
            "12-06-2026 09:05:00 --> DB_Preisdaten / 9 / Zeile: 7 Station 1001 / update x\r\n");
  EXPECT_EQ(log_.LetzterFehler(), 9);
}

// A procedure that answers with a Status instead of throwing leaves the same
// entry a throwing step leaves; an ok Status leaves none.
TEST_F(ProcedureTest, CheckedStatusIsLoggedAsTheThrownFailureWouldBe) {
  Procedure p(log_, "Haupt_Timer_Timer");
  const Status failed = StatusOf([] { throw Failure(2013, "Lost connection to server"); });
  EXPECT_EQ(failed.code(), 2013);
  EXPECT_EQ(failed.message(), "Lost connection to server");
  EXPECT_EQ(StatusOf([] { throw std::out_of_range("Station 1001"); }).code(), 9);
  EXPECT_TRUE(p.Check(StatusOf([] {})));
  EXPECT_TRUE(p.Check(Status()));
  EXPECT_FALSE(p.Check(failed));
  EXPECT_FALSE(p.Run([] { throw Failure(2013, "Lost connection to server"); }));
  EXPECT_EQ(p.failures(), 2);
  const std::string entry =
      "12-06-2026 09:05:00 --> Haupt_Timer_Timer / 2013 / Lost connection to server / \r\n";
  EXPECT_EQ(LogText(), entry + entry);
  EXPECT_FALSE(Status::Error(0, "").ok()) << "an error is one also without a number";
  EXPECT_THROW(StatusOf([] { throw ProgramEnd{"Einstellungen nicht gefunden"}; }), ProgramEnd);
}

TEST_F(ProcedureTest, ProgramEndPassesThroughUnlogged) {
  Procedure p(log_, "DB_LOXStammdaten");
  EXPECT_THROW(p.Run([] { throw ProgramEnd{"Einstellungen nicht gefunden"}; }), ProgramEnd);
  EXPECT_EQ(p.failures(), 0);
  EXPECT_EQ(LogText(), "");
  EXPECT_EQ(log_.LetzterFehler(), 0);
}

}  // namespace
}  // namespace velunor
