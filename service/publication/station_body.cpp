#include "service/publication/station_body.h"

#include <map>

#include "service/db/db_values.h"
#include "service/publication/publication_state.h"
#include "service/publication/xml_text.h"

namespace velunor {

namespace {

// Lines after the last openingTimes group: the location and the end tag.
constexpr size_t kClosingLines = 5;

// The column's text without surrounding spaces; a NULL is the empty text.
// The rows are the service's own: a NULL written by an earlier version must
// not fail every start (the station synchronisation reports a NULL upstream
// value when it copies it).
std::string OptionalText(Procedure& p, const ResultSet& rs, size_t row, const char* column) {
  std::string value;
  p.Run([&] { value = Trim(rs.Text(row, column)); });
  return value;
}

// The column's text as stored; a NULL is the empty text.
std::string RawText(Procedure& p, const ResultSet& rs, size_t row, const char* column) {
  std::string value;
  p.Run([&] { value = rs.Text(row, column); });
  return value;
}

void AppendPeriod(std::vector<std::string>& lines, const std::string& start,
                  const std::string& end) {
  lines.emplace_back("                <recurringTimePeriodOfDay xsi:type=\"TimePeriodByHour\">");
  lines.push_back(XML_Tag(20, "startTimeOfPeriod", start));
  lines.push_back(XML_Tag(20, "endTimeOfPeriod", end));
  lines.emplace_back("                </recurringTimePeriodOfDay>");
}

// The openingTimes group of one row of mts_petrolstation_times.
std::vector<std::string> OpeningTimes(Procedure& p, const ResultSet& times, size_t row,
                                      const std::array<std::string, 9>& day_names) {
  std::vector<std::string> lines;
  lines.emplace_back("            <openingTimes>");
  AppendPeriod(lines, OptionalText(p, times, row, "ps_starttime"),
               OptionalText(p, times, row, "ps_endtime"));
  const std::string start2 = OptionalText(p, times, row, "ps_starttime2");
  const std::string end2 = OptionalText(p, times, row, "ps_endtime2");
  if (!start2.empty() && !end2.empty()) AppendPeriod(lines, start2, end2);
  lines.emplace_back("                <recurringDayWeekMonthPeriod>");
  // Flag positions count from the first character; a blank is no flag, so
  // the text is read as stored.
  const std::string days = RawText(p, times, row, "ps_wochentag");
  for (size_t d = 1; d <= 8 && d <= days.size(); ++d) {
    if (days[d - 1] == '1') lines.push_back(XML_Tag(20, "applicableDay", day_names[d]));
  }
  lines.emplace_back("                </recurringDayWeekMonthPeriod>");
  lines.emplace_back("            </openingTimes>");
  return lines;
}

// The rows with every text mended that a publication could not carry
// (XmlCharacters), each station's column told once per run.
ResultSet XmlSafeRows(Procedure& p, PublicationState& pub, const std::string& table,
                      ResultSet rows) {
  const std::vector<std::string> columns = rows.columns();
  std::vector<std::vector<DbValue>> values = rows.TakeRows();
  const ResultSet heads(columns, {});  // the columns, for finding "station" by name
  for (std::vector<DbValue>& row : values) {
    for (size_t c = 0; c < row.size(); ++c) {
      DbValue& value = row[c];
      bool mended = false;
      if (value) value = XmlCharacters(*value, &mended);
      if (!mended) continue;
      long station = 0;
      p.Run([&] { station = DbLong(row.at(heads.ColumnIndex("station"))); });
      if (pub.mended_texts.emplace(station, columns[c]).second) {
        p.Run([&] {
          p.log().WriteNotice("Station " + std::to_string(station) + ": " + table + "." +
                                  columns[c] +
                                  " enthält Zeichen, die XML nicht zulässt; in der "
                                  "Veröffentlichung ersetzt",
                              p.name());
        });
      }
    }
  }
  return ResultSet(columns, std::move(values));
}

// The rows of `rows` as one result per station, in their order.
std::map<long, ResultSet> RowsByStation(Procedure& p, ResultSet rows) {
  size_t station_column = 0;
  if (!p.Run([&] { station_column = rows.ColumnIndex("station"); })) return {};
  const std::vector<std::string> columns = rows.columns();
  std::vector<std::vector<DbValue>> values = rows.TakeRows();
  std::map<long, std::vector<std::vector<DbValue>>> grouped;
  for (std::vector<DbValue>& row : values) {
    p.Run([&] { grouped[DbLong(row.at(station_column))].push_back(std::move(row)); });
  }
  std::map<long, ResultSet> by_station;
  for (auto& [station, station_rows] : grouped) {
    by_station.emplace(station, ResultSet(columns, std::move(station_rows)));
  }
  return by_station;
}

}  // namespace

std::string StationReferenceLine(const std::string& id, const std::string& version) {
  return "        <petrolStationReference targetClass=\"PetrolStation\"  id=\"" + XML_Quote(id) +
         "\" version=\"" + XML_Quote(version) + "\"/>";
}

std::vector<std::string> StationElement(const ResultSet& station, size_t row,
                                        const ResultSet& times,
                                        const std::array<std::string, 9>& day_names, Procedure& p) {
  std::vector<std::string> lines;
  lines.push_back("        <petrolStation id=\"" + XML_Quote(RawText(p, station, row, "ps_id")) +
                  "\" version=\"" + XML_Quote(RawText(p, station, row, "ps_version")) + "\">");
  static constexpr std::pair<const char*, const char*> kTextElements[] = {
      {"petrolStationVersionTime", "ps_version_time"},
      {"petrolStationName", "ps_name"},
      {"petrolStationBrand", "ps_brand"},
      {"petrolStationStreet", "ps_street"},
      {"petrolStationHouseNumber", "ps_housenumber"},
      {"petrolStationPostcode", "ps_postcode"},
      {"petrolStationPlace", "ps_place"},
  };
  for (const auto& [tag, column] : kTextElements) {
    lines.push_back(XML_Tag(12, tag, OptionalText(p, station, row, column)));
  }
  const std::string holiday = OptionalText(p, station, row, "ps_federalstate");
  if (!holiday.empty()) {
    lines.push_back(XML_Tag(12, "petrolStationPublicHolidayIdentifier", holiday));
  }

  for (size_t t = 0; t < times.RecordCount(); ++t) {
    std::vector<std::string> group = OpeningTimes(p, times, t, day_names);
    if (lines.size() + group.size() + kClosingLines > static_cast<size_t>(LineTable::kSlots)) {
      p.Log(kErrSubscriptOutOfRange,
            "Öffnungszeiten der Station " + RawText(p, station, row, "station") +
                " passen nicht mehr in 201 Zeilen und fehlen in der Veröffentlichung");
      continue;
    }
    lines.insert(lines.end(), group.begin(), group.end());
  }

  lines.emplace_back("            <petrolStationLocation>");
  lines.push_back(
      XML_Tag(16, "latitude", ReplaceAll(OptionalText(p, station, row, "ps_latitude"), ",", ".")));
  lines.push_back(XML_Tag(16, "longitude",
                          ReplaceAll(OptionalText(p, station, row, "ps_longitude"), ",", ".")));
  lines.emplace_back("            </petrolStationLocation>");
  lines.emplace_back("        </petrolStation>");
  return lines;
}

void XML_Stationsdaten(PublicationState& pub, const StationBodySource& from) {
  Procedure p(from.log, "XML_Stationsdaten");
  MasterData& m = from.master;
  StationPublicationIndex& index = from.published;
  // Every station's lines are built anew: a station gone from the table
  // leaves nothing behind.
  m.FirstStationNumber = static_cast<int32_t>(kMaxStationNumber);
  m.LastStationNumber = 0;
  index.StationActive.Clear();
  index.StationLineLast.Clear();
  pub.StationReference.Clear();
  pub.StationLines.Clear();

  const std::string sql = "select * from mts_petrolstation order by station";
  ResultSet stations;
  p.With(sql).Run([&] { stations = Connected(from.db).Query(sql); });
  // Every station's opening times in one read, in the order of their records.
  const std::string times_sql = "select * from mts_petrolstation_times order by station, satz";
  ResultSet all_times;
  const bool times_read =
      p.With(times_sql).Run([&] { all_times = Connected(from.db).Query(times_sql); });
  p.With("");
  stations = XmlSafeRows(p, pub, "mts_petrolstation", std::move(stations));
  // A read that failed (a lost connection) is logged already; its empty
  // result has no columns to group by, and a second entry would hide the
  // first behind a missing column.
  const std::map<long, ResultSet> times_of =
      times_read
          ? RowsByStation(p, XmlSafeRows(p, pub, "mts_petrolstation_times", std::move(all_times)))
          : std::map<long, ResultSet>();

  for (size_t r = 0; r < stations.RecordCount(); ++r) {
    p.With(sql);
    long n = 0;
    if (!p.Run([&] { n = DbLong(stations.Value(r, "Station")); })) continue;
    // A number beyond the MTS-K tables' or one station too many is logged
    // and cannot be published.
    if (!p.Run([&] { index.StationActive[n] = 0; })) continue;
    if (n < m.FirstStationNumber) m.FirstStationNumber = static_cast<int32_t>(n);
    if (n > m.LastStationNumber) m.LastStationNumber = static_cast<int32_t>(n);
    p.Run([&] { index.StationActive[n] = DbLong(stations.Value(r, "Status")) != 0 ? 1 : 0; });
    pub.StationReference[n] = StationReferenceLine(RawText(p, stations, r, "ps_id"),
                                                   RawText(p, stations, r, "ps_version"));

    p.With("select * from mts_petrolstation_times where station = " + std::to_string(n));
    static const ResultSet kNoTimes;
    const auto times = times_of.find(n);
    std::vector<std::string> lines = StationElement(
        stations, r, times == times_of.end() ? kNoTimes : times->second, pub.DayNames, p);
    const int32_t last = static_cast<int32_t>(lines.size()) - 1;
    if (p.Run([&] { pub.StationLines.Assign(n, std::move(lines)); })) {
      index.StationLineLast[n] = last;
    }
  }
  if (m.FirstStationNumber < 1) m.FirstStationNumber = 1;
}

}  // namespace velunor
