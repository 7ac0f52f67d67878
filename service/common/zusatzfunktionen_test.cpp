#include "service/common/zusatzfunktionen.h"

#include <clocale>

#include <gtest/gtest.h>

namespace velunor {
namespace {

std::string Dez(std::string value, float decimals = 3, float width = 6) {
  return Dezimal(value, decimals, width);
}

TEST(DezimalTest, PriceTextsAsThePublicationsNeedThem) {
  std::string value = "1,659";
  EXPECT_EQ(Dezimal(value, 3, 6), " 1.659");
  EXPECT_EQ(value, "1.659") << "the caller's text gets the point";
  EXPECT_EQ(Dez("12.5"), "12.500");
  EXPECT_EQ(Dez("1.6"), " 1.600");
  EXPECT_EQ(Dez("100"), " 0.000") << "above 99.999 the price is zero";
  EXPECT_EQ(Dez("99.999"), "99.999");
  EXPECT_EQ(Dez(""), " 0.000");
  EXPECT_EQ(Dez("abc"), " 0.000");
  value = "1.5E-03";
  EXPECT_EQ(Dezimal(value, 3, 6), " 1.500") << "the exponent is dropped, not applied";
  EXPECT_EQ(value, "1.5");
  EXPECT_EQ(Dez(" 1.659 EUR"), " 1.659");
  EXPECT_EQ(Dez("0.8995"), " 0.900");
}

TEST(DezimalTest, RoundsTheWrittenDecimalsHalfAwayFromZero) {
  EXPECT_EQ(Dez("1.8594999999"), " 1.859") << "just below a half rounds down";
  EXPECT_EQ(Dez("1.8595"), " 1.860") << "a half rounds up, though binary has it below";
  EXPECT_EQ(Dez("1.85950000001"), " 1.860");
  EXPECT_EQ(Dez(".888888499999888884", 6, 9), " 0.888888") << "found by the fuzzer";
  EXPECT_EQ(Dez("0.0004999999999"), " 0.000");
  EXPECT_EQ(Dez("9.9995"), "10.000") << "the carry reaches the whole number";
  EXPECT_EQ(Dez("-1.2345"), "-1.235") << "away from zero for negatives too";
  EXPECT_EQ(Dez("-0.0004"), " 0.000") << "no sign on a zero";
  EXPECT_EQ(Dez("0001.5"), " 1.500");
  EXPECT_EQ(Dez("99.9994"), " 0.000") << "above the largest the field can show";
  EXPECT_EQ(Dez("2.5", 0, 6), "     3");
}

TEST(DezimalTest, WidthAndDecimalCombinations) {
  EXPECT_EQ(Dez("1.5", 5, 6), "0") << "width minus decimals below 2 is invalid";
  EXPECT_EQ(Dez("123", 0, 6), "   123");
  EXPECT_EQ(Dez("1234567", 0, 6), "     0");
  EXPECT_EQ(Dez("7", 0, 1), "7");
  EXPECT_EQ(Dez("12", 0, 1), "0");
  EXPECT_EQ(Dez("123456.5", 1, 6), "   0.0");
  std::string text = "1,5";
  EXPECT_EQ(RechtsBuendig(text, 5), "  1.5");
  text = "toolongtext";
  EXPECT_EQ(RechtsBuendig(text, 3), "toolongtext");
}

TEST(DezimalTest, IndependentOfTheProcessLocale) {
  const char* old = std::setlocale(LC_ALL, nullptr);
  const std::string saved = old != nullptr ? old : "C";
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) std::setlocale(LC_ALL, "C.UTF-8");
  EXPECT_EQ(Dez("1.659"), " 1.659");
  EXPECT_DOUBLE_EQ(NumberValue("2.5"), 2.5);
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(TimeTextTest, NowFromDateIsFixedWidthWhateverTheLocale) {
  FakeClock clock({2026, 12, 6, 9, 5, 0});
  EXPECT_EQ(NowFromDate(clock), "06.12.2026 09:05:00");
  clock.Set({2027, 1, 1, 23, 59, 59});
  EXPECT_EQ(NowFromDate(clock), "01.01.2027 23:59:59");
  EXPECT_EQ(ZeitzonenText(clock), "+01:00");
  clock.SetZoneState(2);
  EXPECT_EQ(ZeitzonenStatus(clock), 2);
  EXPECT_EQ(ZeitzonenText(clock), "+02:00");
  clock.SetZoneState(0);
  EXPECT_EQ(ZeitzonenText(clock), "+01:00");
}

TEST(TimeTextTest, SummerTimeBoundariesAreTheSundaysAtMidnight) {
  EXPECT_EQ(LetzterSonntagMaerz(2026), (DateTime{2026, 3, 29}));
  EXPECT_EQ(LetzterSonntagOktober(2026), (DateTime{2026, 10, 25}));
  EXPECT_EQ(LetzterSonntagMaerz(2024), (DateTime{2024, 3, 31})) << "the 31st itself";
  EXPECT_EQ(ZeitOffset({2026, 3, 29, 0, 30, 0}), "+02:00");
  EXPECT_EQ(ZeitOffset({2026, 3, 28, 23, 59, 0}), "+01:00");
  EXPECT_EQ(ZeitOffset({2026, 10, 25, 12, 0, 0}), "+01:00");
  EXPECT_EQ(ZeitOffset({2026, 10, 24, 23, 59, 59}), "+02:00");
  EXPECT_EQ(ZeitOffset({2026, 12, 24, 12, 0, 0}), "+01:00");
}

TEST(TimeTextTest, SystemClockFollowsTz) {
  SystemClock clock;
  const DateTime now = clock.Now();
  EXPECT_TRUE(IsValid(now));
  EXPECT_GE(now.year, 2024);
  EXPECT_TRUE(clock.ZoneState() == 1 || clock.ZoneState() == 2) << "TZ=Europe/Berlin is pinned";
}

}  // namespace
}  // namespace velunor
