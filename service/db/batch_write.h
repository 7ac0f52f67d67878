// Writing the rows of many stations with a few multi-row statements inside
// one transaction, so that a step sends as many statements for 1,000 stations
// as for 10 and waits for one disk flush. The batch commits whole or leaves
// nothing behind. When the server refuses a statement, the caller writes
// station by station instead, so that exactly the failing station is logged
// and every other station is written.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "service/common/procedure.h"
#include "service/db/db_state.h"
#include "service/db/sql_statement.h"

namespace velunor {

enum class BatchResult {
  kWritten,         // committed
  kRefused,         // rolled back, nothing logged: write station by station
  kConnectionLost,  // logged once (also a refused rollback): count nothing as written
};

// The batch's way to the server: remembers the statement in progress for the
// log entry of a lost connection.
class BatchWriter {
 public:
  explicit BatchWriter(Connection& db) : db_(db) {}
  void Execute(const std::string& sql, const std::vector<DbValue>& params = {});
  ResultSet Query(const std::string& sql);
  // Sends `rows` with one statement, or with a few when the rows carry more
  // values than the server binds to one statement (65,535).
  // REQUIRES: rows.row has at least one marker; params holds whole rows.
  void ExecuteRows(const RowsStatement& rows, const std::vector<DbValue>& params);
  const std::string& current() const { return current_; }

 private:
  Connection& db_;
  std::string current_;
};

// The history copy of a station row and of its detail rows, filed under the
// history row's key: e.g. mts_petrolstation_price with its override times.
struct HistoryTables {
  const char* table;    // one row per station
  const char* history;  // its copies, keyed by historie_id
  const char* detail;   // rows of a station, copied under the history row's key
  const char* detail_history;
  const char* detail_order;  // the detail rows' order within a station
};

// Copies the rows of `stations` (a KeyList) into the history tables. The
// keys are numbered on from the highest key in station order, as one
// statement per station numbers them. REQUIRES: inside the batch.
void CopyHistory(BatchWriter& db, const HistoryTables& tables, const std::string& stations);

// Runs `statements` between "start transaction" and "commit". A lost
// connection (also while rolling back) is written to the error log under `p`
// with the statement in progress, shortened.
BatchResult WriteInOneTransaction(DbState& state, Procedure& p,
                                  const std::function<void(BatchWriter&)>& statements);

}  // namespace velunor
