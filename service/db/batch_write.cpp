#include "service/db/batch_write.h"

#include <algorithm>
#include <exception>

#include "service/db/db_values.h"
#include "service/db/sql_statement.h"

namespace velunor {

void BatchWriter::Execute(const std::string& sql, const std::vector<DbValue>& params) {
  current_ = sql;
  db_.Execute(sql, params);
}

ResultSet BatchWriter::Query(const std::string& sql) {
  current_ = sql;
  return db_.Query(sql);
}

void BatchWriter::ExecuteRows(const RowsStatement& rows, const std::vector<DbValue>& params) {
  // Well below the server's limit, so that a network of 1,000 stations with
  // many opening-time records still needs only a few statements.
  constexpr size_t kMaxValues = 30000;
  const auto per_row = static_cast<size_t>(std::count(rows.row.begin(), rows.row.end(), '?'));
  const size_t row_count = params.size() / per_row;
  const size_t rows_per_statement = std::max<size_t>(1, kMaxValues / per_row);
  for (size_t first = 0; first < row_count; first += rows_per_statement) {
    const size_t last = std::min(row_count, first + rows_per_statement);
    std::string sql = rows.head;
    for (size_t r = first; r < last; ++r) sql += (r == first ? "" : ", ") + rows.row;
    sql += rows.tail;
    Execute(sql, std::vector<DbValue>(params.begin() + static_cast<long>(first * per_row),
                                      params.begin() + static_cast<long>(last * per_row)));
  }
}

void CopyHistory(BatchWriter& db, const HistoryTables& t, const std::string& stations) {
  const std::string history = t.history;
  const std::string last_key =
      Required(db.Query("select coalesce( max( historie_id ), 0 ) from " + history).ValueAt(0, 0));
  db.Execute("insert into " + history + " select " + last_key +
             " + row_number() over ( order by station ), PS.* from " + t.table +
             " PS where station in ( " + stations + " )");
  db.Execute("insert into " + std::string(t.detail_history) + " select H.historie_id, MT.* from " +
             t.detail + " MT join " + history +
             " H on H.station = MT.station and H.historie_id > " + last_key +
             " where MT.station in ( " + stations + " ) order by MT.station, MT." + t.detail_order);
}

BatchResult WriteInOneTransaction(DbState& state, Procedure& p,
                                  const std::function<void(BatchWriter&)>& statements) {
  std::string in_progress = "start transaction";
  try {
    BatchWriter writer(state.db());
    try {
      writer.Execute("start transaction");
      statements(writer);
      writer.Execute("commit");
      return BatchResult::kWritten;
    } catch (const std::exception&) {
      in_progress = writer.current();
      if (CurrentError().number == kErrConnectionLost) throw;
    }
    // A refused statement ends only itself; the rest of the batch must not
    // become part of the station-by-station writes that follow.
    in_progress = "rollback";
    writer.Execute("rollback");
    return BatchResult::kRefused;
  } catch (const std::exception&) {
    // Lost, or a rollback the server would not do: the transaction's fate
    // is the server's, and nothing more is sent on this connection.
    const CaughtError error = CurrentError();
    p.With(ShortStatementText(in_progress)).Log(error.number, error.description);
    return BatchResult::kConnectionLost;
  }
}

}  // namespace velunor
