#include "service/db/preisdaten.h"

#include <vector>

#include "service/common/procedure.h"
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

}  // namespace

void DB_Preisdaten(DbState& state) {
  Procedure p(state.env.log, "DB_Preisdaten");
  const MasterData& m = state.stammdaten;
  for (long station = m.FirstStationNumber; station <= m.LastStationNumber; ++station) {
    StationEntry* entry = nullptr;
    p.At(1).Run([&] { entry = &state.stations[station]; });
    if (entry == nullptr || entry->pricesChanged != 1) continue;
    StationEntry& e = *entry;
    const std::string s = std::to_string(station);
    bool all_written = true;

    std::string sql =
        "insert into mts_petrolstation_price_historie select null, PS.* from "
        "mts_petrolstation_price PS where station = " +
        s;
    p.At(2).With(sql).Run([&] { state.db().Execute(sql); });

    // LAST_INSERT_ID() in the copy itself is the key of the history row just
    // made on this connection: the same key as reading it back first, with one
    // round trip less per station.
    sql =
        "insert into mts_petrolstation_override_times_historie select last_insert_id(), MT.* "
        "from mts_petrolstation_override_times MT where station = " +
        s;
    p.At(4).With(sql).Run([&] { state.db().Execute(sql); });

    std::vector<DbValue> params;
    const std::string upsert =
        InsertOrUpdateStatement("mts_petrolstation_price", PriceRow(e, station), &params);
    // The error log shows the statement with its values, as an operator reads it.
    sql = BoundStatementText(upsert, params);
    const bool price_written = p.At(5).With(sql).Run([&] { state.db().Execute(upsert, params); });
    all_written = all_written && price_written;
    TakeOverPendingPrices(e, price_written);

    std::vector<std::string> override_rows;
    for (int k = 1; k <= 8; ++k) {
      const OverrideTime& o = e.overrides[static_cast<size_t>(k)];
      if (o.active != 1) continue;
      override_rows.push_back("insert into mts_petrolstation_override_times values( " + s + ", " +
                              std::to_string(k) + " , " + std::to_string(o.closed) + ", '" +
                              o.periodStart.str() + "', '" + o.periodEnd.str() + "' )");
    }
    // Rewriting rows the table already holds changes nothing; after a price
    // change (the usual case) the override rows are left as they are.
    if (!e.overrideRowsKnown || e.overrideRowsWritten != override_rows) {
      e.overrideRowsKnown = false;
      sql = "delete from mts_petrolstation_override_times where station = " + s;
      bool rows_written = p.At(8).With(sql).Run([&] { state.db().Execute(sql); });
      for (const std::string& insert : override_rows) {
        sql = insert;
        rows_written = p.At(9).With(sql).Run([&] { state.db().Execute(sql); }) && rows_written;
      }
      if (rows_written) {
        e.overrideRowsWritten = std::move(override_rows);
        e.overrideRowsKnown = true;
      }
      all_written = all_written && rows_written;
    }

    if (all_written) e.pricesChanged = 0;
  }
}

void DB_TransferLog(DbState& state, int code, const std::string& text) {
  Procedure p(state.env.log, "DB_TransferLog");
  const std::string sql = "insert into mts_petrolstation_log values( null, null, " +
                          std::to_string(code) + ", '" + SQLQuote(text, 80) + "' )";
  p.With(sql).Run([&] { state.db().Execute(sql); });
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
