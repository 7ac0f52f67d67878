#include "service/db/prepare_opening_times.h"

#include <array>
#include <vector>

#include "service/db/db_values.h"
#include "service/db/opening_week.h"
#include "service/db/sql_statement.h"

namespace velunor {

namespace {

template <size_t N>
std::array<std::string, N> Times(const ResultSet& rows, size_t r) {
  std::array<std::string, N> times;
  for (size_t i = 0; i < N; ++i) times[i] = rows.Text(r, "ps_time" + std::to_string(i + 1));
  return times;
}

}  // namespace

void PrepareOpeningTimes(DbState& state, Procedure& p, long station,
                         const std::string& heute_datum) {
  const std::string s = std::to_string(station);
  DateTime today;
  if (!p.At(81).Run([&] { today = ReadDate(heute_datum.substr(0, 10)); })) return;
  OpeningWeek week(today);

  std::string sql =
      "select * from lox_station_mts_times where station = " + s + " order by zeitraum";
  ResultSet rows;
  p.At(82).With(sql).Run([&] { rows = state.db().Query(sql); });
  for (size_t r = 0; r < rows.RecordCount(); ++r) {
    p.At(83).Run([&] {
      const long z = DbLong(rows.Value(r, "zeitraum"));
      if (z == 0) {
        week.SetRegular(Times<6>(rows, r));
      } else if (z == 4) {
        week.SetSpecials(Times<6>(rows, r));
      } else if (z >= 1 && z <= 3) {
        week.ApplyPeriod(static_cast<int>(z), rows.Text(r, "start_datum"),
                         rows.Text(r, "end_datum"), Times<5>(rows, r));
      }
    });
  }
  week.Assemble();

  if (week.AroundTheClock()) {
    sql = "delete from mts_petrolstation_times where station = " + s + " and satz > 1";
    p.At(84).With(sql).Run([&] { state.db().Execute(sql); });
    sql = "replace into mts_petrolstation_times values( " + s +
          ", 1, 1, '00:00:00', '00:00:00', '11111111', '', '' )";
    p.At(85).With(sql).Run([&] { state.db().Execute(sql); });
    return;
  }

  sql = "delete from mts_petrolstation_times where station = " + s;
  p.At(86).With(sql).Run([&] { state.db().Execute(sql); });
  const std::vector<WeeklyRecord> records = week.Records();
  for (size_t satz = 1; satz <= records.size(); ++satz) {
    const WeeklyRecord& rec = records[satz - 1];
    // The times and the mask come from upstream text: bound, never spliced in.
    static const std::string kInsert =
        "insert into mts_petrolstation_times values( ?, ?, 1, ?, ?, ?, ?, ? )";
    const std::vector<DbValue> params = {s,        std::to_string(satz), rec.start, rec.end,
                                         rec.mask, rec.start2,           rec.end2};
    sql = BoundStatementText(kInsert, params);
    p.At(87).With(sql).Run([&] { state.db().Execute(kInsert, params); });
  }

  StationEntry* entry = nullptr;
  p.At(88).Run([&] { entry = &state.stations[station]; });
  if (entry == nullptr) return;
  for (size_t k = 1; k <= 8; ++k) entry->overrides[k].active = 0;
  size_t slot = 1;
  for (int k = 1; k <= 8; ++k) {
    p.At(89).Run([&] {
      std::optional<SpecialPeriod> period;
      try {
        period = TakeSpecial(week.Special(k), today);
      } catch (const Failure& f) {
        throw Failure(f.number(), f.description() + " (Station " + s + ", Sonderzeit " +
                                      std::to_string(k) + ": '" + week.Special(k) + "')");
      }
      if (!period) return;
      OverrideTime& o = entry->overrides.at(slot);
      o.periodStart = period->periodStart;
      o.periodEnd = period->periodEnd;
      o.closed = period->closed;
      o.active = 1;
      entry->pricesChanged = 1;
      ++slot;
    });
  }
}

}  // namespace velunor
