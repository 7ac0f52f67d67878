// Writing the rows of many stations with a few statements inside one
// transaction (rows with markers as parameter arrays, rows of text as
// multi-row statements), so that a step sends as many statements for 5,000
// stations as for 10 and waits for one disk flush. The batch commits whole
// or leaves nothing behind, and it stores nothing that the station-by-station
// statements would store otherwise: a statement the server refuses or
// answers with a warning rolls the batch back, and the caller writes station
// by station instead, so that exactly the failing station is logged and
// every other station is written. On tables without transactions nothing can
// be rolled back, so there the steps write station by station from the start.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "service/common/procedure.h"
#include "service/db/db_state.h"
#include "service/db/sql_statement.h"

namespace velunor {

// The driver counts the markers of a statement in a signed 16-bit number, so
// one statement binds at most 32,767 values; every batch statement stays
// below this bound, with room to spare.
inline constexpr size_t kMaxValuesPerStatement = 30000;
// Rows with markers go as parameter arrays, whose statement has the markers
// of one row whatever the number of rows: the driver's cost then stays small
// per value (in a statement of 30,000 markers it spends about 8 µs on each).
// The values of one array stay within 1 MB, far below the server's packet
// limit.
inline constexpr size_t kMaxArrayBytes = 1 << 20;

// The tables each step writes in its batch.
inline const std::vector<std::string> kStationBatchTables = {
    "mts_petrolstation", "mts_petrolstation_historie", "mts_petrolstation_times",
    "mts_petrolstation_times_historie", "mts_petrolstation_price"};
inline const std::vector<std::string> kPriceBatchTables = {
    "mts_petrolstation_price", "mts_petrolstation_price_historie",
    "mts_petrolstation_override_times", "mts_petrolstation_override_times_historie"};

// Reads the engine of every table the batches write and the first column of
// every history table from information_schema. Throws the driver's failure.
BatchTables ReadBatchTables(Connection& db);

// The tables of the connection, read by its first batch; then, when a table
// keeps no transactions, a notice in the error log under `p`'s name. Null
// when they cannot be read (the failure is logged under `p`).
const BatchTables* BatchTablesOf(DbSession& session, Procedure& p);

// True when every one of `tables` keeps transactions.
bool AllTransactional(const BatchTables& t, const std::vector<std::string>& tables);

// One line for the operator: how each step writes, and why.
std::string WritePathText(const BatchTables& t);

enum class BatchResult {
  kWritten,         // committed
  kRefused,         // rolled back (or not tried), nothing logged: write station by station
  kConnectionLost,  // logged once (also a refused rollback): count nothing as written
  kNotLeased,       // the reporter lease is no longer this process's: nothing written
};

// The batch's way to the server: remembers the statement in progress for the
// log entry of a lost connection.
class BatchWriter {
 public:
  explicit BatchWriter(Connection& db) : db_(db) {}
  void Execute(const std::string& sql, const std::vector<DbValue>& params = {});
  ResultSet Query(const std::string& sql);
  // Sends `rows` as one parameter array of the statement of one row, or as a
  // few when their values take more than kMaxArrayBytes. A statement the server answers with
  // a warning (a value cut short, a NULL turned into a default) throws: one
  // row at a time the server may refuse or store such a row otherwise.
  // REQUIRES: rows.row has at least one marker; params holds whole rows.
  void ExecuteRows(const RowsStatement& rows, const std::vector<DbValue>& params);
  // The same for rows written out as text after `head`, "( 7, 1, ? )",
  // each with `values` values counted against the bound: its markers, whose
  // values `params` holds in order, or all of a row without markers.
  // REQUIRES: every row has the same number of markers.
  void ExecuteRows(const std::string& head, const std::vector<std::string>& rows, size_t values,
                   const std::vector<DbValue>& params = {});
  const std::string& current() const { return current_; }

 private:
  void ExecuteChecked(const std::string& sql, const std::vector<DbValue>& params);
  void CheckWarnings(const std::string& sql);

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
};

// Copies the rows of `stations` (a KeyList) into the history tables. The
// keys are numbered on from the highest key in station order, as one
// statement per station numbers them. Detail rows of a station without a
// row of its own are not copied: there is no history row to file them
// under. REQUIRES: inside the batch; `t.history` in `keys.history_key`.
void CopyHistory(BatchWriter& db, const HistoryTables& tables, const BatchTables& keys,
                 const std::string& stations);

// Runs `statements` between "start transaction" and "commit"; when the
// process keeps the reporter lease, the first statement confirms it and the
// batch is rolled back when it did not match. Inside a step that is one
// transaction already, the batch is a savepoint of it. A lost
// connection (also while rolling back) is written to the error log under `p`
// with the statement in progress, shortened.
BatchResult WriteInOneTransaction(DbSession& session, Procedure& p,
                                  const std::function<void(BatchWriter&)>& statements);

// Runs `batch` when every one of `tables` keeps transactions. Otherwise
// kRefused, so that the step writes station by station, or kConnectionLost
// when the tables could not be read because the connection is gone.
BatchResult WriteTogetherWhereSafe(DbSession& session, Procedure& p,
                                   const std::vector<std::string>& tables,
                                   const std::function<BatchResult(const BatchTables&)>& batch);

// One station's copy into its history table ("insert ... select" of the
// station's row) as step `line`, the way station by station: true when a
// row was copied, so that the connection's last key is this row's.
bool CopiedOneToHistory(DbSession& session, Procedure& p, int line, const std::string& sql);

}  // namespace velunor
