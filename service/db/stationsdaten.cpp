#include "service/db/stationsdaten.h"

#include <cstdlib>
#include <iterator>
#include <map>
#include <set>
#include <vector>

#include "service/common/procedure.h"
#include "service/db/batch_write.h"
#include "service/db/db_values.h"
#include "service/db/fuels.h"
#include "service/db/prepare_opening_times.h"
#include "service/db/sql_statement.h"
#include "service/db/station_address.h"
#include "service/db/station_delivery.h"
#include "service/db/station_rows.h"
#include "service/db/stationskraftstoffe.h"

namespace velunor {

namespace {

// The connection as it is when the fuels are read.
StationFuelsRead FuelsRead(const StationSync& sync) {
  return {sync.log, sync.session.DbVerbindung.get(), sync.master, sync.stations, sync.facts};
}

// The station's row as the MTS-K receives it. The upstream texts are bound as
// parameters, so names with apostrophes, backslashes or quotes arrive as they
// are. An existing row keeps any column not named here.
constexpr const char* kMasterColumns[] = {
    "station",  "status",      "ps_id",        "ps_version",     "ps_version_time",
    "ps_name",  "ps_brand",    "ps_street",    "ps_housenumber", "ps_postcode",
    "ps_place", "ps_latitude", "ps_longitude", "ps_federalstate"};

std::string VersionTime(const DateTime& now, const std::string& zone_offset) {
  return Pad(now.year, 4) + "-" + Pad(now.month, 2) + "-" + Pad(now.day, 2) + "T" +
         Pad(now.hour, 2) + ":" + Pad(now.minute, 2) + ":" + Pad(now.second, 2) + zone_offset;
}

// The values in the order of kMasterColumns, from the changed-station row r.
std::vector<DbValue> MasterRow(const ResultSet& changed, size_t r, long station,
                               const std::string& version_time, const MasterData& m) {
  const DbValue& version = changed.Value(r, "ps_version");
  const StreetParts street = SplitStreet(changed.Text(r, "strasse"));
  const PlaceParts place = SplitPlzOrt(changed.Text(r, "plzort"));
  return {std::to_string(station),
          changed.Value(r, "status"),
          changed.Value(r, "ps_id"),
          version ? DbValue(std::to_string(DbLong(version) + 1)) : std::nullopt,
          version_time,
          changed.Value(r, "name1"),
          changed.Value(r, "ps_brand"),
          street.street,
          street.housenumber,
          place.postcode,
          place.place,
          changed.Value(r, "ps_latitude"),
          changed.Value(r, "ps_longitude"),
          FederalStateIdentifier(changed.Value(r, "Bundesland_ID"), m.HolidayIdentifiers)};
}

// Upstream texts the publication needs are stored as empty text when they
// are NULL: a NULL in the service's own row would fail every later read of
// it, while the bad upstream value is reported here, once per change.
void ReplaceNullTexts(Procedure& p, std::vector<DbValue>& row, long station) {
  static constexpr std::pair<size_t, const char*> kRequired[] = {
      {5, "name1"}, {6, "ps_brand"}, {11, "ps_latitude"}, {12, "ps_longitude"}};
  for (const auto& [index, column] : kRequired) {
    if (row[index]) continue;
    row[index] = std::string();
    p.Log(kErrInvalidUseOfNull, "Unzulässige Verwendung von Null: " + std::string(column) +
                                    " der Station " + std::to_string(station) +
                                    " ist NULL und wird leer übernommen");
  }
}

// A changed station as the run worked it out before writing anything.
struct ChangedStation {
  long station = 0;
  bool has_master = false;      // its row could be worked out
  std::vector<DbValue> master;  // in the order of kMasterColumns, NULL texts replaced
  bool has_times = false;       // today could be read, so its opening times are planned
  OpeningTimesPlan times;
};

std::vector<SqlColumn> MasterColumns(const std::vector<DbValue>& values) {
  std::vector<SqlColumn> columns;
  for (size_t i = 0; i < values.size(); ++i) {
    columns.push_back({kMasterColumns[i], values[i], i > 0});  // the key is not updated
  }
  return columns;
}

// Reads what the changed stations need (fuels, upstream opening times) and
// works out each station's row and opening times; writes nothing.
std::vector<ChangedStation> PlanChangedStations(const StationSync& sync, Procedure& p,
                                                const ResultSet& changed,
                                                const std::string& zone_offset,
                                                const std::string& today_text) {
  std::vector<ChangedStation> plans;
  std::vector<size_t> rows;  // of `changed`, for each station read
  for (size_t r = 0; r < changed.RecordCount(); ++r) {
    ChangedStation c;
    if (!p.At(51).Run([&] { c.station = DbLong(changed.Value(r, "station")); })) continue;
    plans.push_back(std::move(c));
    rows.push_back(r);
  }
  std::vector<long> stations;
  for (const ChangedStation& c : plans) stations.push_back(c.station);
  DB_Get_MTS_Stationskraftstoffe(FuelsRead(sync), stations, sync.master.MtsProductList);

  DateTime today;
  const bool has_today =
      !stations.empty() && p.At(81).Run([&] { today = ReadDate(today_text.substr(0, 10)); });
  const ResultSet upstream =
      has_today ? ReadUpstreamOpeningTimes(sync.session.DbVerbindung.get(), p, stations)
                : ResultSet();
  std::map<long, std::vector<size_t>> upstream_rows;
  for (size_t r = 0; r < upstream.RecordCount(); ++r) {
    p.At(83).Run([&] { upstream_rows[DbLong(upstream.Value(r, "station"))].push_back(r); });
  }

  for (size_t i = 0; i < plans.size(); ++i) {
    ChangedStation& c = plans[i];
    c.has_master = p.At(55).Run([&] {
      c.master = MasterRow(changed, rows[i], c.station, VersionTime(sync.clock.Now(), zone_offset),
                           sync.master);
    });
    if (c.has_master) {
      std::vector<DbValue> params;
      p.With(BoundStatementText(
          InsertOrUpdateStatement("mts_petrolstation", MasterColumns(c.master), &params), params));
      ReplaceNullTexts(p, c.master, c.station);
    }
    if (has_today) {
      c.has_times = true;
      c.times =
          PlanOpeningTimes(sync.stations, p, c.station, upstream, upstream_rows[c.station], today);
    }
  }
  return plans;
}

// One station's rows, statement by statement: the way after a batch the
// server refused, so that only a failing station's own step is logged.
void WriteStationAlone(DbSession& session, Procedure& p, const ChangedStation& c) {
  const std::string s = std::to_string(c.station);
  std::string sql =
      "insert into mts_petrolstation_historie select null, PS.* from mts_petrolstation PS "
      "where station = " +
      s;
  // The opening times are copied under the key of this station's history
  // row only; after a failed copy, or for a station without a row of its
  // own, the connection's last key belongs to another row, and the opening
  // times are not copied at all, as the batch does.
  const bool copied = CopiedOneToHistory(session, p, 52, sql);
  if (copied) {
    std::string history_key;
    sql = "select last_insert_id()";
    if (p.At(53).With(sql).Run(
            [&] { history_key = Required(session.db().Query(sql).ValueAt(0, 0)); })) {
      sql = "insert into mts_petrolstation_times_historie select " + history_key +
            ", MT.* from mts_petrolstation_times MT where station = " + s;
      p.At(54).With(sql).Run([&] { session.db().Execute(sql); });
    }
  }
  if (c.has_master) {
    std::vector<DbValue> params;
    const std::string upsert =
        InsertOrUpdateStatement("mts_petrolstation", MasterColumns(c.master), &params);
    sql = BoundStatementText(upsert, params);
    p.At(56).With(sql).Run([&] { session.db().Execute(upsert, params); });
  }
  if (c.has_times) WriteOpeningTimes(session.DbVerbindung.get(), p, c.station, c.times);
}

void DeactivateStationAlone(DbSession& session, Procedure& p, long station) {
  const std::string s = std::to_string(station);
  std::string sql = "update mts_petrolstation set status = 0 where station = " + s;
  p.At(65).With(sql).Run([&] { session.db().Execute(sql); });
  sql = "update mts_petrolstation_price set status = 0 where station = " + s;
  p.At(66).With(sql).Run([&] { session.db().Execute(sql); });
}

constexpr HistoryTables kStationHistory = {"mts_petrolstation", "mts_petrolstation_historie",
                                           "mts_petrolstation_times",
                                           "mts_petrolstation_times_historie"};

// History copies, rows and opening times of the changed stations and the
// status of the deactivated ones in one transaction.
BatchResult WriteStationsTogether(DbSession& session, Procedure& p, const BatchTables& tables,
                                  const std::vector<ChangedStation>& changed,
                                  const std::vector<long>& deactivated) {
  std::vector<long> stations;
  std::vector<DbValue> master_values;
  std::map<long, OpeningTimesPlan> times;
  for (const ChangedStation& c : changed) {
    stations.push_back(c.station);
    if (c.has_master) master_values.insert(master_values.end(), c.master.begin(), c.master.end());
    if (c.has_times) times[c.station] = c.times;
  }
  const RowsStatement master_rows = InsertOrUpdateRows(
      "mts_petrolstation", MasterColumns(std::vector<DbValue>(std::size(kMasterColumns))));
  return WriteInOneTransaction(session, p, [&](BatchWriter& db) {
    if (!stations.empty()) CopyHistory(db, kStationHistory, tables, KeyList(stations));
    if (!master_values.empty()) db.ExecuteRows(master_rows, master_values);
    WriteOpeningTimes(db, times);
    if (deactivated.empty()) return;
    const std::string list = KeyList(deactivated);
    db.Execute("update mts_petrolstation set status = 0 where station in ( " + list + " )");
    db.Execute("update mts_petrolstation_price set status = 0 where station in ( " + list + " )");
  });
}

}  // namespace

int DB_Stationsdaten(const StationSync& sync, int mode) {
  Procedure p(sync.log, "DB_Stationsdaten");
  DbSession& session = sync.session;
  ServiceState& grid = sync.facts;

  std::string zone_offset = "+01:00";
  std::string today_text;
  int32_t changes = 0;
  p.At(1).Run([&] {
    zone_offset = ZeitzonenText(sync.clock);
    today_text = NowFromDate(sync.clock).substr(0, 10);
  });
  std::string update_sql =
      "update lox_station_mts set status = 1, ps_version = ps_version + 1 where station in ( 0 ";
  std::set<long> handled;

  // Stations synchronised earlier whose publication the MTS-K never
  // acknowledged are changed again, so that this run sends them anew.
  p.At(10).Run([&] { LoadPendingStations(sync.pending); });
  std::string sql = PendingStationsStatement(sync.pending.delivery);
  if (!sql.empty()) p.At(11).With(sql).Run([&] { session.db().Execute(sql); });

  // An added or removed station row counts as a change; the first run only
  // learns the count.
  sql = "SELECT Count(station) FROM lox_station WHERE 1";
  p.At(2).With(sql).Run([&] {
    const ResultSet count = session.db().Query(sql);
    if (count.RecordCount() != 1) return;
    const long stations = DbLong(count.ValueAt(0, 0));
    if (stations == sync.station_count) return;
    if (sync.station_count != 0) {
      changes = static_cast<int32_t>(std::labs(stations - sync.station_count));
    }
    sync.station_count = static_cast<int32_t>(stations);
  });

  sql =
      "select MTS.*, PS.name1 name1, PS.strasse strasse, PS.plzort plzort "
      "from lox_station_mts MTS, lox_station PS where MTS.station = PS.station and MTS.status = 2 "
      "and ps_aktiv = 1";
  ResultSet changed;
  p.At(3).With(sql).Run([&] { changed = session.db().Query(sql); });
  changes += static_cast<int32_t>(changed.RecordCount());

  if (mode == kStationSyncForced || changes >= 1) {
    p.At(41).Run([&] { grid.LayOutStations(0); });
    sql = std::string("select PS.station station, name1, ")
              .append(GridTimeFuel().timeColumn)
              .append(
                  " from lox_station PS left join mts_petrolstation_price MP on PS.station = "
                  "MP.station order by station");
    ResultSet list;
    p.At(42).With(sql).Run([&] { list = session.db().Query(sql); });
    LayOutStationRows(FuelsRead(sync), p, list, 43);
  }

  // Everything is worked out first and then written together, so that the
  // run costs the same few statements for 1,000 stations as for one.
  const std::vector<ChangedStation> plans =
      PlanChangedStations(sync, p, changed, zone_offset, today_text);
  for (const ChangedStation& c : plans) {
    update_sql += ", " + std::to_string(c.station);
    handled.insert(c.station);
  }

  sql = "select station from lox_station_mts where status = 2 and ps_aktiv = 0";
  ResultSet deactivated;
  std::vector<long> deactivated_stations;
  p.At(61).With(sql).Run([&] { deactivated = session.db().Query(sql); });
  for (size_t r = 0; r < deactivated.RecordCount(); ++r) {
    long station = 0;
    if (!p.At(62).Run([&] { station = DbLong(deactivated.Value(r, "station")); })) continue;
    const std::string s = std::to_string(station);
    p.At(63).Run([&] {
      sync.stations[station].hasMtsFuels = 0;
      if (int32_t* active = sync.published.StationActive.Find(station)) *active = 0;
      if (int32_t* last = sync.published.StationLineLast.Find(station)) *last = 0;
    });
    p.At(64).Run([&] { grid.SetReporting(station, Reporting::kDeactivated); });
    update_sql += ", " + s;
    handled.insert(station);
    deactivated_stations.push_back(station);
    ++changes;
  }

  const BatchResult batch = WriteTogetherWhereSafe(
      session, p.At(52), kStationBatchTables, [&](const BatchTables& tables) {
        return WriteStationsTogether(session, p.At(52), tables, plans, deactivated_stations);
      });
  switch (batch) {
    case BatchResult::kWritten:
    case BatchResult::kConnectionLost:  // logged; the stations stay changed upstream
      break;
    case BatchResult::kNotLeased:  // another instance reports: nothing more from here
      return 0;
    case BatchResult::kRefused:
      for (const ChangedStation& c : plans) WriteStationAlone(session, p, c);
      for (long station : deactivated_stations) DeactivateStationAlone(session, p, station);
      break;
  }

  // Pending before the upstream status says synchronised: a crash between
  // the two then sends a station twice, never not at all. Not recorded as
  // pending, the stations stay changed upstream and are handled again.
  if (p.At(12).Run([&] { AddPendingStations(sync.pending, handled, p.name()); })) {
    sql = update_sql + " )";
    p.At(7).With(sql).Run([&] { session.db().Execute(sql); });
  }
  // A pending station that the run could not handle again (no longer in
  // lox_station, say) still needs a publication that is acknowledged.
  if (changes == 0 && !sync.pending.delivery.pending.empty()) changes = 1;
  return changes;
}

}  // namespace velunor
