#include "service/db/stationsdaten.h"

#include <cstdlib>
#include <set>
#include <vector>

#include "service/common/procedure.h"
#include "service/db/db_values.h"
#include "service/db/prepare_opening_times.h"
#include "service/db/sql_statement.h"
#include "service/db/station_address.h"
#include "service/db/station_delivery.h"
#include "service/db/station_grid.h"
#include "service/db/stationskraftstoffe.h"

namespace velunor {

namespace {

// The station's row as the MTS-K receives it. The upstream texts are bound as
// parameters, so names with apostrophes, backslashes or quotes arrive as they
// are. An existing row keeps any column not named here.
constexpr const char* kMasterColumns[] = {
    "station",  "status",      "ps_id",        "ps_version",     "ps_version_time",
    "ps_name",  "ps_brand",    "ps_street",    "ps_housenumber", "ps_postcode",
    "ps_place", "ps_latitude", "ps_longitude", "ps_federalstate"};

std::string VersionTime(const DateTime& now, const std::string& zeitzonen_text) {
  return Pad(now.year, 4) + "-" + Pad(now.month, 2) + "-" + Pad(now.day, 2) + "T" +
         Pad(now.hour, 2) + ":" + Pad(now.minute, 2) + ":" + Pad(now.second, 2) + zeitzonen_text;
}

// The values in the order of kMasterColumns, from the changed-station row r.
std::vector<DbValue> MasterRow(const ResultSet& changed, size_t r, long station,
                               const std::string& version_time, const MasterData& m) {
  const DbValue& version = changed.Value(r, "ps_version");
  const StreetParts street = SplitStrasse(changed.Text(r, "strasse"));
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

}  // namespace

int DB_Stationsdaten(DbState& state, int mode) {
  Procedure p(state.env.log, "DB_Stationsdaten");
  Env& env = state.env;
  WindowModel& grid = env.window;
  const MasterData& m = state.stammdaten;

  std::string zeitzonen_text = "+01:00";
  std::string heute_datum;
  int32_t aenderungen = 0;
  p.At(1).Run([&] {
    zeitzonen_text = ZeitzonenText(env.clock);
    heute_datum = NowFromDate(env.clock).substr(0, 10);
  });
  std::string update_sql =
      "update lox_station_mts set status = 1, ps_version = ps_version + 1 where station in ( 0 ";
  std::set<long> handled;

  // Stations synchronised earlier whose publication the MTS-K never
  // acknowledged are changed again, so that this run sends them anew.
  p.At(10).Run([&] { LoadPendingStations(state); });
  std::string sql = PendingStationsStatement(state);
  if (!sql.empty()) p.At(11).With(sql).Run([&] { state.db().Execute(sql); });

  // An added or removed station row counts as a change; the first run only
  // learns the count.
  sql = "SELECT Count(station) FROM lox_station WHERE 1";
  p.At(2).With(sql).Run([&] {
    const ResultSet count = state.db().Query(sql);
    if (count.RecordCount() != 1) return;
    const long stations = DbLong(count.ValueAt(0, 0));
    if (stations == state.LetzteStationsanzahl) return;
    if (state.LetzteStationsanzahl != 0) {
      aenderungen = static_cast<int32_t>(std::labs(stations - state.LetzteStationsanzahl));
    }
    state.LetzteStationsanzahl = static_cast<int32_t>(stations);
  });

  sql =
      "select MTS.*, PS.name1 name1, PS.strasse strasse, PS.plzort plzort "
      "from lox_station_mts MTS, lox_station PS where MTS.station = PS.station and MTS.status = 2 "
      "and ps_aktiv = 1";
  ResultSet changed;
  p.At(3).With(sql).Run([&] { changed = state.db().Query(sql); });
  aenderungen += static_cast<int32_t>(changed.RecordCount());

  if (mode == kStationSyncForced || aenderungen >= 1) {
    p.At(41).Run([&] { grid.SetGridRows(2); });
    sql =
        "select PS.station station, name1, ps_pricediesel_time from lox_station PS left join "
        "mts_petrolstation_price MP on PS.station = MP.station order by station";
    ResultSet list;
    p.At(42).With(sql).Run([&] { list = state.db().Query(sql); });
    LayOutStationGrid(state, p, list, 43);
  }

  for (size_t r = 0; r < changed.RecordCount(); ++r) {
    long station = 0;
    if (!p.At(51).Run([&] { station = DbLong(changed.Value(r, "station")); })) continue;
    const std::string s = std::to_string(station);
    DB_Get_MTS_Stationskraftstoffe(state, station, m.MtsProductList);

    sql =
        "insert into mts_petrolstation_historie select null, PS.* from mts_petrolstation PS "
        "where station = " +
        s;
    // The opening times are copied under the key of this station's history
    // row only; after a failed copy the connection's last key belongs to
    // another row.
    if (p.At(52).With(sql).Run([&] { state.db().Execute(sql); })) {
      std::string history_key;
      sql = "select last_insert_id()";
      if (p.At(53).With(sql).Run(
              [&] { history_key = Required(state.db().Query(sql).ValueAt(0, 0)); })) {
        sql = "insert into mts_petrolstation_times_historie select " + history_key +
              ", MT.* from mts_petrolstation_times MT where station = " + s;
        p.At(54).With(sql).Run([&] { state.db().Execute(sql); });
      }
    }

    std::vector<DbValue> values;
    if (p.At(55).Run([&] {
          values = MasterRow(changed, r, station, VersionTime(env.clock.Now(), zeitzonen_text), m);
        })) {
      std::vector<SqlColumn> columns;
      for (size_t i = 0; i < values.size(); ++i) {
        columns.push_back({kMasterColumns[i], values[i], i > 0});  // the key is not updated
      }
      std::vector<DbValue> params;
      const std::string upsert = InsertOrUpdateStatement("mts_petrolstation", columns, &params);
      p.With(BoundStatementText(upsert, params));
      ReplaceNullTexts(p, params, station);
      sql = BoundStatementText(upsert, params);
      p.At(56).With(sql).Run([&] { state.db().Execute(upsert, params); });
    }

    PrepareOpeningTimes(state, p, station, heute_datum);
    update_sql += ", " + s;
    handled.insert(station);
  }

  sql = "select station from lox_station_mts where status = 2 and ps_aktiv = 0";
  ResultSet deactivated;
  p.At(61).With(sql).Run([&] { deactivated = state.db().Query(sql); });
  for (size_t r = 0; r < deactivated.RecordCount(); ++r) {
    long station = 0;
    if (!p.At(62).Run([&] { station = DbLong(deactivated.Value(r, "station")); })) continue;
    const std::string s = std::to_string(station);
    p.At(63).Run([&] {
      state.stations[station].hasMtsFuels = 0;
      state.published.StationActive.at(static_cast<size_t>(station)) = 0;
      state.published.StationLineLast.at(static_cast<size_t>(station)) = 0;
    });
    p.At(64).Run([&] {
      // A station without a grid row would otherwise write into the caption row.
      const int row = state.stations[station].gridRow;
      if (row >= 2) grid.SetCell(row, 1, "Nein");
    });
    update_sql += ", " + s;
    handled.insert(station);
    sql = "update mts_petrolstation set status = 0 where station = " + s;
    p.At(65).With(sql).Run([&] { state.db().Execute(sql); });
    sql = "update mts_petrolstation_price set status = 0 where station = " + s;
    p.At(66).With(sql).Run([&] { state.db().Execute(sql); });
    ++aenderungen;
  }

  // Pending before the upstream status says synchronised: a crash between
  // the two then sends a station twice, never not at all.
  p.At(12).Run([&] { AddPendingStations(state, handled, p.name()); });
  sql = update_sql + " )";
  p.At(7).With(sql).Run([&] { state.db().Execute(sql); });
  // A pending station that the run could not handle again (no longer in
  // lox_station, say) still needs a publication that is acknowledged.
  if (aenderungen == 0 && !state.delivery.pending.empty()) aenderungen = 1;
  return aenderungen;
}

}  // namespace velunor
