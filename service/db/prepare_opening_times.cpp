#include "service/db/prepare_opening_times.h"

#include <array>

#include "service/db/db_values.h"
#include "service/db/sql_statement.h"

namespace velunor {

namespace {

template <size_t N>
std::array<std::string, N> Times(const ResultSet& rows, size_t r) {
  std::array<std::string, N> times;
  for (size_t i = 0; i < N; ++i) times[i] = rows.Text(r, "ps_time" + std::to_string(i + 1));
  return times;
}

// The times and the mask come from upstream text: bound, never spliced in.
constexpr const char* kInsertTimes = "insert into mts_petrolstation_times values";
constexpr size_t kTimesColumns = 7;  // station, satz, then ps_typ 1 written as it stands

std::string TimesMarkers() { return "( ?, ?, 1, ?, ?, ?, ?, ? )"; }

void AppendRecord(std::vector<DbValue>& params, long station, size_t satz,
                  const WeeklyRecord& rec) {
  params.insert(params.end(), {std::to_string(station), std::to_string(satz), rec.start, rec.end,
                               rec.mask, rec.start2, rec.end2});
}

std::string AroundTheClockRow(long station) {
  return "( " + std::to_string(station) + ", 1, 1, '00:00:00', '00:00:00', '11111111', '', '' )";
}

}  // namespace

ResultSet ReadUpstreamOpeningTimes(Connection* db, Procedure& p,
                                   const std::vector<long>& stations) {
  ResultSet rows;
  if (stations.empty()) return rows;
  const std::string sql = "select * from lox_station_mts_times where station in ( " +
                          KeyList(stations) + " ) order by station, zeitraum";
  p.At(82).With(sql).Run([&] { rows = Connected(db).Query(sql); });
  return rows;
}

OpeningTimesPlan PlanOpeningTimes(StationTable& stations, Procedure& p, long station,
                                  const ResultSet& upstream, const std::vector<size_t>& rows,
                                  const DateTime& today) {
  const std::string s = std::to_string(station);
  p.With("select * from lox_station_mts_times where station = " + s + " order by zeitraum");
  OpeningWeek week(today);
  for (size_t r : rows) {
    p.At(83).Run([&] {
      const long z = DbLong(upstream.Value(r, "zeitraum"));
      if (z == 0) {
        week.SetRegular(Times<6>(upstream, r));
      } else if (z == 4) {
        week.SetSpecials(Times<6>(upstream, r));
      } else if (z >= 1 && z <= 3) {
        week.ApplyPeriod(static_cast<int>(z), upstream.Text(r, "start_datum"),
                         upstream.Text(r, "end_datum"), Times<5>(upstream, r));
      }
    });
  }
  week.Assemble();

  OpeningTimesPlan plan;
  plan.around_the_clock = week.AroundTheClock();
  if (plan.around_the_clock) return plan;
  plan.records = week.Records();

  StationEntry* entry = nullptr;
  p.At(88).Run([&] { entry = &stations[station]; });
  if (entry == nullptr) return plan;
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
  return plan;
}

void WriteOpeningTimes(Connection* db, Procedure& p, long station, const OpeningTimesPlan& plan) {
  const std::string s = std::to_string(station);
  std::string sql;
  if (plan.around_the_clock) {
    sql = "delete from mts_petrolstation_times where station = " + s + " and satz > 1";
    p.At(84).With(sql).Run([&] { Connected(db).Execute(sql); });
    sql = "replace into mts_petrolstation_times values" + AroundTheClockRow(station);
    p.At(85).With(sql).Run([&] { Connected(db).Execute(sql); });
    return;
  }
  sql = "delete from mts_petrolstation_times where station = " + s;
  p.At(86).With(sql).Run([&] { Connected(db).Execute(sql); });
  for (size_t satz = 1; satz <= plan.records.size(); ++satz) {
    std::vector<DbValue> params;
    AppendRecord(params, station, satz, plan.records[satz - 1]);
    const std::string insert = kInsertTimes + TimesMarkers();
    sql = BoundStatementText(insert, params);
    p.At(87).With(sql).Run([&] { Connected(db).Execute(insert, params); });
  }
}

void WriteOpeningTimes(BatchWriter& db, const std::map<long, OpeningTimesPlan>& plans) {
  std::vector<long> weekly;
  std::vector<long> around_the_clock;
  std::vector<DbValue> records;  // eight values a record
  std::vector<std::string> replacements;
  for (const auto& [station, plan] : plans) {
    if (plan.around_the_clock) {
      around_the_clock.push_back(station);
      replacements.push_back(AroundTheClockRow(station));
      continue;
    }
    weekly.push_back(station);
    for (size_t satz = 1; satz <= plan.records.size(); ++satz) {
      const WeeklyRecord& rec = plan.records[satz - 1];
      records.insert(records.end(), {std::to_string(station), std::to_string(satz), "1", rec.start,
                                     rec.end, rec.mask, rec.start2, rec.end2});
    }
  }
  // A station open around the clock keeps its first record's row and has
  // it replaced; every other station's records are written anew.
  std::string which;
  if (!weekly.empty()) which = "station in ( " + KeyList(weekly) + " )";
  if (!around_the_clock.empty()) {
    which += (which.empty() ? "" : " or ") + std::string("( station in ( ") +
             KeyList(around_the_clock) + " ) and satz > 1 )";
  }
  if (which.empty()) return;
  db.Execute("delete from mts_petrolstation_times where " + which);
  if (!records.empty()) {
    RowsStatement rows{kInsertTimes, MarkerRow(8), ""};
    rows.head += ' ';
    db.ExecuteRows(rows, records);
  }
  if (!replacements.empty()) {
    db.ExecuteRows("replace into mts_petrolstation_times values", replacements, 8);
  }
}

}  // namespace velunor
