#include "service/common/fehler_log.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "service/common/failure.h"
#include "tests/test_base.h"

namespace velunor {
namespace {

namespace fs = std::filesystem;

class FehlerLogTest : public ::testing::Test {
 protected:
  static std::string Read(const fs::path& p) { return testing::ReadFile(p); }
  void Fill(int number, std::uintmax_t size) {
    tmp_.Write("MTS-Error-" + std::to_string(number) + ".LOG", std::string(size, 'x'));
  }
  testing::TempDir tmp_;
  const fs::path& dir_ = tmp_.path();
  FakeClock clock_{DateTime{2026, 12, 6, 9, 5, 7}};
  FehlerLog log_{dir_, clock_};
};

TEST_F(FehlerLogTest, FirstEntryCreatesFileZeroWithoutNumberFile) {
  log_.Write(13, "Typen unverträglich", "DB_Preisdaten", "");
  log_.Write(-2147217900, "x", "KommLog", "select 1");
  EXPECT_EQ(Read(log_.LogFile(0)),
            "12-06-2026 09:05:07 --> DB_Preisdaten / 13 / Typen unverträglich / \r\n"
            "12-06-2026 09:05:07 --> KommLog / -2147217900 / x / select 1\r\n");
  EXPECT_FALSE(fs::exists(log_.NumberFile()));
  EXPECT_EQ(log_.LetzterFehler(), -2147217900);
}

TEST_F(FehlerLogTest, RotatesOnlyAboveTheLimitAndWrapsFrom20ToZero) {
  Fill(0, FehlerLog::kFullSize - 1);  // exactly 2,048,000 bytes: not yet full
  log_.Write(1, "a", "P", "");
  EXPECT_FALSE(fs::exists(log_.NumberFile()));
  EXPECT_GT(fs::file_size(log_.LogFile(0)), FehlerLog::kFullSize - 1);

  log_.Write(2, "b", "P", "");  // file 0 is now full
  EXPECT_EQ(Read(log_.NumberFile()), " 1 \r\n");
  EXPECT_NE(Read(log_.LogFile(1)).find("P / 2 / b / "), std::string::npos);

  std::ofstream(log_.NumberFile(), std::ios::binary) << " 20 \r\n";
  Fill(20, FehlerLog::kFullSize);
  Fill(0, 100);  // the oldest file, to be started anew
  log_.Write(3, "c", "P", "");
  EXPECT_EQ(Read(log_.NumberFile()), " 0 \r\n");
  EXPECT_EQ(Read(log_.LogFile(0)), "12-06-2026 09:05:07 --> P / 3 / c / \r\n");
}

TEST_F(FehlerLogTest, LostConnectionNumberIsStickyUntilReset) {
  log_.Write(kErrConnectionLost, "Lost connection", "DB_Preisdaten", "");
  log_.Write(13, "x", "P", "");
  EXPECT_EQ(log_.LetzterFehler(), kErrConnectionLost);
  log_.ResetLetzterFehler();
  EXPECT_EQ(log_.LetzterFehler(), 0);
  log_.Write(13, "x", "P", "");
  EXPECT_EQ(log_.LetzterFehler(), 13);
}

// What a procedure's caller receives: the first failure, a lost connection
// over it, never a notice; the inner scope sees only its own entries.
TEST_F(FehlerLogTest, LoggedFailuresAreTheFirstOrTheLostConnection) {
  LoggedFailures outer(log_);
  log_.WriteNotice("nur ein Hinweis", "P");
  EXPECT_TRUE(outer.status().ok());
  const Status first = LoggedFailuresOf(log_, [&] {
    log_.Write(9, "Index außerhalb", "Q", "");
    log_.Write(13, "x", "Q", "");
  });
  EXPECT_EQ(first.code(), 9);
  EXPECT_EQ(first.message(), "Index außerhalb");
  const Status lost = LoggedFailuresOf(log_, [&] {
    log_.Write(13, "x", "Q", "");
    log_.Write(kErrConnectionLost, "Lost connection", "Q", "");
    log_.Write(9, "y", "Q", "");
  });
  EXPECT_EQ(lost.code(), kErrConnectionLost);
  EXPECT_EQ(lost.message(), "Lost connection");
  EXPECT_EQ(outer.status().code(), kErrConnectionLost) << "the outer scope saw the inner entries";
  EXPECT_TRUE(LoggedFailuresOf(log_, [] {}).ok());
}

TEST_F(FehlerLogTest, UnwritableDirectoryDropsTheEntryAfterBoundedRetriesButKeepsTheNumber) {
  FehlerLog log(dir_ / "not-a-dir.txt", clock_);
  std::ofstream(dir_ / "not-a-dir.txt") << "a file where the directory should be";
  log.Write(kErrConnectionLost, "gone", "DB_Stationsdaten", "");
  EXPECT_EQ(log.dropped(), 1);
  EXPECT_EQ(clock_.slept_ms(), (FehlerLog::kRetries + 1) * FehlerLog::kRetryPauseMs);
  EXPECT_EQ(log.LetzterFehler(), kErrConnectionLost)
      << "the scheduler must still notice the lost connection";
}

}  // namespace
}  // namespace velunor
