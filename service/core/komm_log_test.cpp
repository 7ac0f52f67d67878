#include "service/core/komm_log.h"

#include <gtest/gtest.h>

#include "tests/test_env.h"

namespace velunor {
namespace {

TEST(KommLogTest, ListAndFileOfTheCurrentRunAndTheClearText) {
  testing::TestEnv t;
  t.dir.Write("ComLogDatei.txt", "line of the previous run\r\n");
  t.dir.Write("ComLogDatei.1.txt", "the run before\r\n");
  {
    KommLogWriter log(t.env);
    log.KommLog(kKommLogClear);
    EXPECT_TRUE(t.window.list1().empty());
    EXPECT_EQ(t.dir.Read("ComLogDatei.txt"), "line of the previous run\r\n")
        << "clearing writes nothing and does not open the file";
    log.KommLog("Sending Request...");
    log.KommLog("");
    log.KommLog("%%%clear%%%");
    EXPECT_EQ(t.window.list1(), (std::vector<std::string>{"09:05:00 Sending Request...",
                                                          "09:05:00 ", "09:05:00 %%%clear%%%"}));
    EXPECT_EQ(t.window.list1_selected(), 2);
    EXPECT_EQ(t.dir.Read("ComLogDatei.txt"),
              "06.12.2026 09:05:00 Sending Request...\r\n06.12.2026 09:05:00 \r\n"
              "06.12.2026 09:05:00 %%%clear%%%\r\n");
    log.KommLog(kKommLogClear);
    EXPECT_TRUE(t.window.list1().empty());
  }
  EXPECT_EQ(t.dir.Read("ComLogDatei.1.txt"), "line of the previous run\r\n")
      << "the previous run's dialogue is kept once";
  EXPECT_GE(t.host.repaints, 4);
}

// A server's answer with line breaks cannot forge lines of the log; a file
// that passes its limit is kept once and started afresh, the list stays.
TEST(KommLogTest, ControlCharactersAreEscapedAndALargeFileStartsAfresh) {
  testing::TestEnv t;
  KommLogWriter log(t.env, 200);
  log.KommLog("SOAP: Server tell us: abgelehnt\r\n06.12.2026 09:05:00 Transaction successfull");
  EXPECT_EQ(t.dir.Read("ComLogDatei.txt"),
            "06.12.2026 09:05:00 SOAP: Server tell us: abgelehnt\\r\\n06.12.2026 09:05:00 "
            "Transaction successfull\r\n");
  EXPECT_EQ(t.window.list1().back().find('\n'), std::string::npos);
  for (int i = 0; i < 5; ++i) log.KommLog("line " + std::to_string(i) + std::string(40, '.'));
  log.KommLog("last line");
  const std::string kept = t.dir.Read("ComLogDatei.1.txt");
  EXPECT_GT(kept.size(), 200u) << "the part that passed the limit";
  EXPECT_NE(kept.find("line 4"), std::string::npos) << kept;
  EXPECT_EQ(t.dir.Read("ComLogDatei.txt"), "06.12.2026 09:05:00 last line\r\n") << "started afresh";
  EXPECT_EQ(t.window.list1().size(), 7u) << "the list is not affected";
  EXPECT_TRUE(t.ErrorLines().empty());
}

TEST(KommLogTest, UnwritableFileIsLoggedAndTheListStillUpdated) {
  testing::TestEnv t;
  std::filesystem::create_directory(t.dir.path() / "ComLogDatei.txt");  // a folder in its way
  KommLogWriter log(t.env);
  log.KommLog("a");
  log.KommLog("b");
  EXPECT_EQ(t.window.list1().size(), 2u);
  ASSERT_EQ(t.ErrorLines().size(), 1u) << "reported once, not per line";
  EXPECT_NE(t.ErrorLines()[0].find("KommLog / 75 / "), std::string::npos);
}

}  // namespace
}  // namespace velunor
