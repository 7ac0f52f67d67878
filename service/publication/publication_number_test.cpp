#include "service/publication/publication_number.h"

#include <gtest/gtest.h>

namespace velunor {
namespace {

TEST(PublicationNumberTest, CounterGrowsAndRestartsWithTheYear) {
  EXPECT_EQ(NextPublicationNumber("2026-17", 2026), "2026-18");
  EXPECT_EQ(NextPublicationNumber("2026-000005", 2026), "2026-6")
      << "the counter is written without leading zeros";
  EXPECT_EQ(NextPublicationNumber("2025-388", 2026), "2026-1");
  EXPECT_EQ(NextPublicationNumber("", 2026), "2026-1");
  EXPECT_EQ(NextPublicationNumber("abc", 2026), "2026-1") << "no year at all starts anew";
  EXPECT_EQ(NextPublicationNumber("2026-", 2026), "2026-1");
  EXPECT_EQ(NextPublicationNumber("2027-4", 2026), "2027-5")
      << "a later year stored is kept, not turned back";
}

TEST(PublicationNumberTest, CounterAfter999999IsZero) {
  EXPECT_EQ(NextPublicationNumber("2026-999998", 2026), "2026-999999");
  EXPECT_EQ(NextPublicationNumber("2026-999999", 2026), "2026-0");
  EXPECT_EQ(NextPublicationNumber("2026-0", 2026), "2026-1");
  EXPECT_EQ(NextPublicationNumber("2026-99999999999999999999999", 2026), "2026-0")
      << "a counter far out of range must not overflow";
  EXPECT_EQ(NextPublicationNumber("2026--5", 2026), "2026-1");
}

TEST(PublicationNumberTest, OnlyYearHyphenDigitsIsANumber) {
  EXPECT_TRUE(IsPublicationNumber("2026-17"));
  EXPECT_TRUE(IsPublicationNumber("2026-0"));
  for (const char* damaged : {"", "2026-", "2026\"", "2026-1\"", "2026-1 ", "202-17", "2026_1",
                              "2026-1x", "+026-1", "2026-+1"}) {
    EXPECT_FALSE(IsPublicationNumber(damaged)) << damaged;
    EXPECT_EQ(NextPublicationNumber(damaged, 2026), "2026-1") << damaged << " starts anew";
  }
  EXPECT_EQ(NextPublicationNumber("2027\"-5", 2026), "2026-1")
      << "never text of the stored value in the id";
}

}  // namespace
}  // namespace velunor
