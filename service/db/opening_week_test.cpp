#include "service/db/opening_week.h"

#include <gtest/gtest.h>

#include "service/common/failure.h"

namespace velunor {
namespace {

DateTime Day(int year, int month, int day) { return DateTime{year, month, day, 0, 0, 0}; }

// The records of a week with the given regular entries and no periods.
std::vector<WeeklyRecord> Regular(const std::array<std::string, 6>& entries,
                                  DateTime today = Day(2026, 12, 6)) {
  OpeningWeek week(today);
  week.SetRegular(entries);
  week.Assemble();
  return week.Records();
}

// The week seen from `today`, open on the days `regular` names and changed by
// one holiday period from `from` to `to`, open at `times`.
OpeningWeek WithPeriod(DateTime today, const std::string& regular, const std::string& from,
                       const std::string& to, const std::string& times) {
  OpeningWeek week(today);
  week.SetRegular({regular, "", "", "", "", ""});
  week.ApplyPeriod(1, from, to, {times, "", "", "", ""});
  week.Assemble();
  return week;
}

std::string Masks(const std::vector<WeeklyRecord>& records) {
  std::string masks;
  for (const auto& r : records) masks += (masks.empty() ? "" : " ") + r.mask;
  return masks;
}

TEST(OpeningTimesTest, ReferenceSundayIsTheCalendarSundayOnOrAfterToday) {
  EXPECT_EQ(ReferenceSunday(Day(2026, 12, 6)), Day(2026, 12, 6)) << "a Sunday is its own";
  EXPECT_EQ(ReferenceSunday(Day(2026, 12, 9)), Day(2026, 12, 13));
  EXPECT_EQ(ReferenceSunday(Day(2026, 12, 12)), Day(2026, 12, 13));
  EXPECT_EQ(ReferenceSunday(DateTime{2026, 12, 31, 23, 59, 0}), Day(2027, 1, 3));
}

TEST(OpeningTimesTest, OnlyRealClockTimesAreValid) {
  EXPECT_EQ(ReadClockTime("00:00"), 0);
  EXPECT_EQ(ReadClockTime("23:59"), 2359);
  for (const char* bad : {"24:00", "12:60", "6:00 ", "06:0", "0600 ", "ab:cd", "0':00", "     "}) {
    EXPECT_FALSE(ReadClockTime(bad)) << bad;
  }
}

TEST(OpeningTimesTest, MalformedEntriesMakeNoRecordAndBlankOnesAreClosedUp) {
  EXPECT_TRUE(Regular({"x", "06:00", "'; drop table x;--", " 6:0022:0011111111", "", ""}).empty());
  // Different flags open their own records; an entry without any day makes none.
  const auto records =
      Regular({"", "07:0021:0011111000", "", "08:0020:0000000110", "09:0010:0000000000", ""});
  EXPECT_EQ(Masks(records), "11111000 00000110");
}

TEST(OpeningTimesTest, APeriodWithoutHolidayFlagOrOutsideTheWeekLeavesTheRegularTimes) {
  OpeningWeek week(Day(2026, 12, 6));
  week.SetRegular({"06:0022:0011111111", "", "", "", "", ""});
  EXPECT_TRUE(week.ApplyPeriod(2, "13.12.", "20.12.", {"", "10:0016:0011111110", "", "", ""}));
  EXPECT_TRUE(week.ApplyPeriod(3, "01.02.", "05.02.", {"10:0016:0011111111", "", "", "", ""}));
  week.Assemble();
  EXPECT_EQ(Masks(week.Records()), "11111101 00000010")
      << "only Sunday 13 December is covered; the February period keeps no day";
}

TEST(OpeningTimesTest, PeriodsRunOverTheTurnOfTheYearFromEitherSide) {
  const auto masks = [](DateTime today, const std::string& from, const std::string& to) {
    return Masks(WithPeriod(today, "06:0022:0011111110", from, to, "10:0014:0011111110").Records());
  };
  // Wednesday 23 December 2026: the week is 28 December to 3 January.
  EXPECT_EQ(masks(Day(2026, 12, 23), "30.12.", "02.01."), "11000010 00111100");
  // A period in early January seen from the last days of December.
  EXPECT_EQ(masks(Day(2026, 12, 27), "01.01.", "06.01."), "11110000 00001110");
  // Friday 1 January 2027: the week is 4 to 10 January, still inside 20.12.-06.01.
  EXPECT_EQ(masks(Day(2027, 1, 1), "20.12.", "06.01."), "00011110 11100000");
}

TEST(OpeningTimesTest, PeriodDatesThatAreZeroAreIgnoredAndUnreadableOnesFailWithoutEffect) {
  OpeningWeek week(Day(2026, 12, 6));
  week.SetRegular({"06:0022:0011111110", "", "", "", "", ""});
  const std::array<std::string, 5> times = {"08:0018:0011111110", "", "", "", ""};
  EXPECT_FALSE(week.ApplyPeriod(1, "", "11.12.", times));
  EXPECT_FALSE(week.ApplyPeriod(1, "09.12.", "00.00.", times));
  for (const char* bad : {"31.02.", "09.13.", "9.12.2026", "09-12-"}) {
    try {
      week.ApplyPeriod(1, "07.12.", bad, times);
      ADD_FAILURE() << bad << " should not read as a date";
    } catch (const Failure& f) {
      EXPECT_EQ(f.number(), kErrTypeMismatch);
      EXPECT_NE(f.description().find(bad), std::string::npos) << f.description();
    }
  }
  EXPECT_TRUE(OpeningWeek(Day(2026, 12, 6)).ApplyPeriod(1, "29.02.", "01.03.", times))
      << "29 February is a day of the recurring calendar";
  EXPECT_TRUE(week.ApplyPeriod(1, " 7.12", "12.12", times)) << "blanks and the last point may go";
  week.Assemble();
  EXPECT_EQ(Masks(week.Records()), "00000010 11111100")
      << "the failed rows changed nothing; the last period covers Monday to Saturday";
}

TEST(OpeningTimesTest, TheTwentyFourHourEntryMustStillCoverEveryDayAfterThePeriods) {
  OpeningWeek week(Day(2026, 12, 6));
  week.SetRegular({"", "00:0000:001111111whatever", "06:0022:0011111110", "", "", ""});
  week.Assemble();
  EXPECT_TRUE(week.AroundTheClock()) << "the first non-blank entry counts";

  OpeningWeek with_period =
      WithPeriod(Day(2026, 12, 6), "00:0000:0011111110", "12.12.", "12.12.", "08:0012:0011111110");
  EXPECT_FALSE(with_period.AroundTheClock());
  EXPECT_EQ(Masks(with_period.Records()), "11111010 00000100");
}

TEST(OpeningTimesTest, ChristmasAndNewYearsEveFollowValidEntriesInDecemberOnly) {
  auto specials = [](DateTime today, const std::string& entry) {
    OpeningWeek week(today);
    week.SetRegular({"06:0022:0011111110", entry, "", "", "", ""});
    week.Assemble();
    week.Records();
    return week.Special(7) + "|" + week.Special(8);
  };
  const std::string blank(32, ' ');
  EXPECT_EQ(specials(Day(2026, 12, 24), "07:0014:000000000111"),
            "24.12.202624.12.202607:0014:0010|31.12.202631.12.202607:0014:0010")
      << "24 December itself still counts";
  EXPECT_EQ(specials(Day(2026, 12, 25), "07:0014:000000000111"),
            blank + "|31.12.202631.12.202607:0014:0010");
  EXPECT_EQ(specials(Day(2026, 11, 30), "07:0014:000000000111"), blank + "|" + blank);
  EXPECT_EQ(specials(Day(2026, 12, 10), "07:0024:000000000111"), blank + "|" + blank)
      << "an invalid entry has no holiday check";
}

TEST(OpeningTimesTest, SpecialPeriodsAreTakenFromTodayUpToOneMonthAhead) {
  const DateTime today = Day(2026, 12, 6);
  auto period = TakeSpecial("24.12.202624.12.202606:0014:0010", today);
  ASSERT_TRUE(period);
  EXPECT_EQ(period->periodStart, "2026-12-24T06:00:00+01:00");
  EXPECT_EQ(period->periodEnd, "2026-12-24T14:00:00+01:00");
  EXPECT_EQ(period->closed, 0);
  EXPECT_EQ(TakeSpecial("06.12.202606.12.202600:0023:5901", today)->closed, 1) << "today counts";

  EXPECT_FALSE(TakeSpecial("05.12.202605.12.202600:0023:5901", today)) << "ended yesterday";
  EXPECT_TRUE(TakeSpecial("06.01.202706.01.202700:0023:5901", today)) << "today + 1 month";
  EXPECT_FALSE(TakeSpecial("07.01.202707.01.202700:0023:5901", today)) << "one day later";
  EXPECT_TRUE(TakeSpecial("28.02.202728.02.202708:0009:0001", Day(2027, 1, 31)))
      << "one month after 31 January is the end of February";
  EXPECT_FALSE(TakeSpecial("01.03.202701.03.202708:0009:0001", Day(2027, 1, 31)));

  // The offset follows the calendar rule on each end's own day.
  period = TakeSpecial("28.03.202629.03.202608:0018:0010", Day(2026, 3, 20));
  ASSERT_TRUE(period);
  EXPECT_EQ(period->periodStart, "2026-03-28T08:00:00+01:00");
  EXPECT_EQ(period->periodEnd, "2026-03-29T18:00:00+02:00");
}

TEST(OpeningTimesTest, UnusableSpecialsAreSkippedAndUnreadableDatesOrTimesFail) {
  const DateTime today = Day(2026, 12, 6);
  for (const char* unusable :
       {"", "00.12.202624.12.202606:0014:0010", "24.12.202600.12.202606:0014:0010",
        "24.12.202624.12.2026     14:0010", "24.12.202624.12.202606:0014:0000", "24.12.2026"}) {
    EXPECT_FALSE(TakeSpecial(unusable, today)) << unusable;
  }
  EXPECT_THROW(TakeSpecial("31.11.202601.12.202606:0014:0010", today), Failure);
  EXPECT_THROW(TakeSpecial("24.12.26  24.12.202606:0014:0010", today), Failure);
  // Not a time of day at all: the special cannot be published, and says so.
  for (const char* no_time :
       {"24.12.202624.12.2026'':0014:0001", "24.12.202624.12.202606:0024:3010",
        "24.12.202624.12.202625:0026:0010", "24.12.202624.12.2026ab:cd14:0010"}) {
    EXPECT_THROW(TakeSpecial(no_time, today), Failure) << no_time;
  }
}

// Open until midnight, as on New Year's Eve: the end of the day is 24:00,
// which an XML dateTime allows.
TEST(OpeningTimesTest, ASpecialPeriodMayEndAt2400) {
  const std::optional<SpecialPeriod> period =
      TakeSpecial("31.12.202631.12.202618:0024:0010", Day(2026, 12, 6));
  ASSERT_TRUE(period);
  EXPECT_EQ(period->periodStart, "2026-12-31T18:00:00+01:00");
  EXPECT_EQ(period->periodEnd, "2026-12-31T24:00:00+01:00");
}

// The weekday mask is positions 11 to 18 as the entry has them: an entry
// shorter than 18 characters gives a shorter mask, not trailing blanks.
TEST(OpeningTimesTest, TheWeekdayMaskIsThePositionsAsTheyStand) {
  EXPECT_EQ(Masks(Regular({"06:0022:001111100", "08:0020:0000000110", "", "", "", ""})),
            "1111100 00000110");
}

}  // namespace
}  // namespace velunor
