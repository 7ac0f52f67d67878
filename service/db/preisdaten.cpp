#include "service/db/preisdaten.h"

#include <vector>

#include "service/common/procedure.h"
#include "service/db/batch_write.h"
#include "service/db/db_values.h"
#include "service/db/fuels.h"
#include "service/db/sql_statement.h"

namespace velunor {

namespace {

// The station's price row as it will be written, by column name.
std::vector<SqlColumn> PriceRow(const StationEntry& e, long station) {
  std::vector<SqlColumn> row = {{"station", std::to_string(station), false}, {"status", "2"}};
  for (const Fuel& fuel : kFuels) {
    if (e.*fuel.product == 0) {
      row.push_back({fuel.priceColumn, "0.0"});
    } else if ((e.*fuel.newPrice).Number() > 0) {
      row.push_back({fuel.priceColumn, (e.*fuel.newPrice).Trimmed()});
      row.push_back({fuel.timeColumn, (e.*fuel.newPriceTime).str()});
    } else {
      // A fuel the station sells but upstream has no price for yet: a new
      // row gets "no price" rather than NULL, which the start would read
      // back as a failure; an existing row keeps what it has.
      row.push_back({fuel.priceColumn, "0.0", false});
      row.push_back({fuel.timeColumn, "", false});
    }
  }
  return row;
}

// Moves the stored pending prices into the stored fields; when the row could
// not be written the pending price stays as well, so the next run writes it.
void TakeOverPendingPrices(StationEntry& e, bool written) {
  for (const Fuel& fuel : kFuels) {
    if (e.*fuel.product == 0 || (e.*fuel.newPrice).Number() <= 0) continue;
    e.*fuel.price = (e.*fuel.newPrice).str();
    e.*fuel.priceTime = (e.*fuel.newPriceTime).str();
    if (written) e.*fuel.newPrice = std::string();
  }
}

// The station's override rows as value lists "( 7, 1 , 0, 'start', 'end' )".
std::vector<std::string> OverrideValues(const StationEntry& e, long station) {
  std::vector<std::string> rows;
  for (int k = 1; k <= 8; ++k) {
    const OverrideTime& o = e.overrides[static_cast<size_t>(k)];
    if (o.active != 1) continue;
    rows.push_back("( " + std::to_string(station) + ", " + std::to_string(k) + " , " +
                   std::to_string(o.closed) + ", '" + o.periodStart.str() + "', '" +
                   o.periodEnd.str() + "' )");
  }
  return rows;
}

constexpr const char* kOverrideInsert = "insert into mts_petrolstation_override_times values";

// Rewriting rows the table already holds changes nothing; after a price
// change (the usual case) the override rows are left as they are.
bool OverridesToWrite(const StationEntry& e, const std::vector<std::string>& values) {
  if (!e.overrideRowsKnown) return true;
  if (e.overrideRowsWritten.size() != values.size()) return true;
  for (size_t i = 0; i < values.size(); ++i) {
    if (e.overrideRowsWritten[i] != kOverrideInsert + values[i]) return true;
  }
  return false;
}

void RememberOverrides(StationEntry& e, const std::vector<std::string>& values) {
  e.overrideRowsWritten.clear();
  for (const std::string& v : values) e.overrideRowsWritten.push_back(kOverrideInsert + v);
  e.overrideRowsKnown = true;
}

// One station's rows, statement by statement: the way after a batch the
// server refused, so that only a failing station's own step is logged.
void WriteStationPrices(DbSession& session, Procedure& p, long station, StationEntry& e) {
  const std::string s = std::to_string(station);
  std::string sql =
      "insert into mts_petrolstation_price_historie select null, PS.* from "
      "mts_petrolstation_price PS where station = " +
      s;
  const bool copied = CopiedOneToHistory(session, p, 2, sql);

  // LAST_INSERT_ID() in the copy itself is the key of the history row just
  // made on this connection. Without that row (a station without price row,
  // or a failed copy) it is the key of some other row: the override rows
  // are then not copied at all, as the batch does.
  if (copied) {
    sql =
        "insert into mts_petrolstation_override_times_historie select last_insert_id(), MT.* "
        "from mts_petrolstation_override_times MT where station = " +
        s;
    p.At(4).With(sql).Run([&] { session.db().Execute(sql); });
  }

  std::vector<DbValue> params;
  const std::string upsert =
      InsertOrUpdateStatement("mts_petrolstation_price", PriceRow(e, station), &params);
  // The error log shows the statement with its values, as an operator reads it.
  sql = BoundStatementText(upsert, params);
  const bool price_written = p.At(5).With(sql).Run([&] { session.db().Execute(upsert, params); });
  TakeOverPendingPrices(e, price_written);
  bool all_written = price_written;

  const std::vector<std::string> overrides = OverrideValues(e, station);
  if (OverridesToWrite(e, overrides)) {
    e.overrideRowsKnown = false;
    sql = "delete from mts_petrolstation_override_times where station = " + s;
    bool rows_written = p.At(8).With(sql).Run([&] { session.db().Execute(sql); });
    for (const std::string& values : overrides) {
      sql = kOverrideInsert + values;
      rows_written = p.At(9).With(sql).Run([&] { session.db().Execute(sql); }) && rows_written;
    }
    if (rows_written) RememberOverrides(e, overrides);
    all_written = all_written && rows_written;
  }
  if (all_written) e.pricesChanged = 0;
}

// Every changed station's price row in one statement. The time column tells
// the row's case apart, so one update rule keeps each case's effect on an
// existing row: NULL (a fuel the station does not sell) sets the price to
// "0.0" and keeps the time; "" with "0.0" (no upstream price yet) keeps both;
// a time (a new price) sets both.
RowsStatement PriceRows() {
  std::string columns = "station, status";
  std::string updates = "status = values( status )";
  for (const Fuel& fuel : kFuels) {
    const std::string price = fuel.priceColumn;
    const std::string time = fuel.timeColumn;
    const std::string keeps = "values( " + time + " ) = '' and values( " + price + " ) = '0.0'";
    columns += ", " + price + ", " + time;
    updates += ", " + price + " = if( " + keeps + ", " + price + ", values( " + price + " ) )";
    updates += ", " + time + " = if( values( " + time + " ) is null or ( " + keeps + " ), " + time +
               ", values( " + time + " ) )";
  }
  return {"insert into mts_petrolstation_price ( " + columns + " ) values ",
          MarkerRow(2 + 2 * kFuels.size()), " on duplicate key update " + updates};
}

// The station's values in the column order of PriceRowsStatement, from the
// row the station-by-station write would send (a column it leaves out is NULL).
void AppendPriceValues(const StationEntry& e, long station, std::vector<DbValue>& params) {
  const std::vector<SqlColumn> row = PriceRow(e, station);
  auto value = [&](const char* column) -> DbValue {
    for (const SqlColumn& c : row) {
      if (c.name == column) return c.value;
    }
    return std::nullopt;
  };
  params.push_back(value("station"));
  params.push_back(value("status"));
  for (const Fuel& fuel : kFuels) {
    params.push_back(value(fuel.priceColumn));
    params.push_back(value(fuel.timeColumn));
  }
}

constexpr HistoryTables kPriceHistory = {
    "mts_petrolstation_price", "mts_petrolstation_price_historie",
    "mts_petrolstation_override_times", "mts_petrolstation_override_times_historie"};

// The history copies, price rows and changed override rows of all `stations`
// in one transaction.
BatchResult WritePricesTogether(const PriceStore& store, Procedure& p, const BatchTables& tables,
                                const std::vector<long>& stations) {
  const std::string list = KeyList(stations);
  std::vector<DbValue> params;
  std::vector<long> rewritten;
  std::vector<std::string> override_rows;
  for (long station : stations) {
    const StationEntry& e = store.stations[station];
    AppendPriceValues(e, station, params);
    const std::vector<std::string> overrides = OverrideValues(e, station);
    if (!OverridesToWrite(e, overrides)) continue;
    rewritten.push_back(station);
    override_rows.insert(override_rows.end(), overrides.begin(), overrides.end());
  }

  return WriteInOneTransaction(store.session, p, [&](BatchWriter& db) {
    CopyHistory(db, kPriceHistory, tables, list);
    db.ExecuteRows(PriceRows(), params);
    if (rewritten.empty()) return;
    db.Execute("delete from mts_petrolstation_override_times where station in ( " +
               KeyList(rewritten) + " )");
    if (!override_rows.empty()) db.ExecuteRows(kOverrideInsert, override_rows, 5);
  });
}

}  // namespace

void DB_Preisdaten(const PriceStore& store) {
  Procedure p(store.log, "DB_Preisdaten");
  const MasterData& m = store.master;
  StationTable& stations = store.stations;
  std::vector<long> changed;
  for (const auto& [station, entry] : stations.Range(m.FirstStationNumber, m.LastStationNumber)) {
    if (entry.pricesChanged == 1) changed.push_back(station);
  }
  if (changed.empty()) return;

  const BatchResult batch = WriteTogetherWhereSafe(
      store.session, p.At(2), kPriceBatchTables, [&](const BatchTables& tables) {
        return WritePricesTogether(store, p.At(2), tables, changed);
      });
  switch (batch) {
    case BatchResult::kWritten:
      for (long station : changed) {
        StationEntry& e = stations[station];
        TakeOverPendingPrices(e, true);
        RememberOverrides(e, OverrideValues(e, station));
        e.pricesChanged = 0;
      }
      break;
    case BatchResult::kRefused:
      for (long station : changed) WriteStationPrices(store.session, p, station, stations[station]);
      break;
    case BatchResult::kConnectionLost:
    case BatchResult::kNotLeased:
      // Nothing was written: every price stays pending for the next run.
      for (long station : changed) TakeOverPendingPrices(stations[station], false);
      break;
  }
}

void DB_TransferLog(DbSession& session, FehlerLog& log, int code, const std::string& text) {
  // The transfer log belongs to the price records' module: its failures
  // are filed under that procedure's name.
  Procedure p(log, "DB_Preisdaten");
  const std::string sql = "insert into mts_petrolstation_log values( null, null, " +
                          std::to_string(code) + ", '" + SQLQuote(text, 80) + "' )";
  p.With(sql).Run([&] { session.db().Execute(sql); });
}

std::string SQLQuote(const std::string& text, int max_length) {
  if (text.empty() || text[0] == '\0') return "";
  std::string result;
  int characters = 0;
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    std::string unit;
    int width = 1;
    if (c == '\\') {
      unit = "\\\\", width = 2;
    } else if (c == '\'') {
      unit = "\\'", width = 2;
    } else if (c == '"') {
      unit = "\\\"", width = 2;
    } else if (c == '\0') {
      unit = "\\0", width = 2;
    } else {
      // One UTF-8 character: a lead byte and its continuation bytes.
      size_t end = i + 1;
      while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
      unit = text.substr(i, end - i);
    }
    if (max_length >= 1 && characters + width > max_length) break;
    result += unit;
    characters += width;
    i += c < 0x80 ? 1 : unit.size();
  }
  return result;
}

}  // namespace velunor
