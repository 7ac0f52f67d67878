#include "service/db/batch_write.h"

#include <algorithm>
#include <charconv>
#include <exception>
#include <numeric>

#include "service/db/db_values.h"
#include "service/db/reporter_lease.h"
#include "service/db/sql_statement.h"

namespace velunor {

namespace {

// A column name as the operator gave it, safe in a statement.
std::string Quoted(const std::string& name) {
  std::string quoted = "`";
  for (char c : name) quoted += c == '`' ? std::string("``") : std::string(1, c);
  return quoted + "`";
}

std::string BatchTablesQuery() {
  std::vector<std::string> tables = kStationBatchTables;
  tables.insert(tables.end(), kPriceBatchTables.begin(), kPriceBatchTables.end());
  std::sort(tables.begin(), tables.end());
  tables.erase(std::unique(tables.begin(), tables.end()), tables.end());
  std::string names;
  for (const std::string& t : tables) names += (names.empty() ? "'" : ", '") + t + "'";
  return "select T.table_name as t, T.engine as e, E.transactions as x, C.column_name as c "
         "from information_schema.tables T "
         "left join information_schema.engines E on E.engine = T.engine "
         "left join information_schema.columns C on C.table_schema = T.table_schema and "
         "C.table_name = T.table_name and C.ordinal_position = 1 "
         "where T.table_schema = database() and T.table_name in ( " +
         names + " ) order by T.table_name";
}

}  // namespace

BatchTables ReadBatchTables(Connection& db) {
  const ResultSet rows = db.Query(BatchTablesQuery());
  BatchTables t;
  std::set<std::string> listed;
  for (size_t r = 0; r < rows.RecordCount(); ++r) {
    const std::string table = rows.Text(r, "t");
    listed.insert(table);
    if (rows.Text(r, "x") == "YES") {
      t.transactional.insert(table);
    } else {
      t.without_transactions[table] = rows.Text(r, "e");
    }
    if (table.size() > 9 && table.compare(table.size() - 9, 9, "_historie") == 0) {
      t.history_key[table] = rows.Text(r, "c");
    }
  }
  for (const std::vector<std::string>* step : {&kStationBatchTables, &kPriceBatchTables}) {
    for (const std::string& table : *step) {
      if (listed.insert(table).second) t.without_transactions[table] = "";
    }
  }
  return t;
}

const BatchTables* BatchTablesOf(DbSession& session, Procedure& p) {
  if (session.batch_tables) return &*session.batch_tables;
  p.With(BatchTablesQuery()).Run([&] { session.batch_tables = ReadBatchTables(session.db()); });
  if (!session.batch_tables) return nullptr;
  if (!session.batch_tables->without_transactions.empty()) {
    p.log().WriteNotice(WritePathText(*session.batch_tables), p.name());
  }
  return &*session.batch_tables;
}

bool AllTransactional(const BatchTables& t, const std::vector<std::string>& tables) {
  return std::all_of(tables.begin(), tables.end(),
                     [&](const std::string& table) { return t.transactional.count(table) > 0; });
}

std::string WritePathText(const BatchTables& t) {
  auto way = [&](const std::vector<std::string>& tables) {
    return AllTransactional(t, tables) ? "gebündelt in einer Transaktion" : "Station für Station";
  };
  std::string text = std::string("Stationsdaten werden ") + way(kStationBatchTables) +
                     " geschrieben, Preisdaten " + way(kPriceBatchTables);
  if (t.without_transactions.empty()) return text;
  std::string tables;
  for (const auto& [table, engine] : t.without_transactions) {
    tables +=
        (tables.empty() ? "" : ", ") + table + " (" + (engine.empty() ? "fehlt" : engine) + ")";
  }
  return text + " (Tabellen ohne Transaktionen: " + tables + ")";
}

void BatchWriter::Execute(const std::string& sql, const std::vector<DbValue>& params) {
  current_ = sql;
  db_.Execute(sql, params);
}

ResultSet BatchWriter::Query(const std::string& sql) {
  current_ = sql;
  return db_.Query(sql);
}

void BatchWriter::ExecuteChecked(const std::string& sql, const std::vector<DbValue>& params) {
  Execute(sql, params);
  CheckWarnings(sql);
}

void BatchWriter::CheckWarnings(const std::string& sql) {
  // A later row of a multi-row statement is cut or given a default where the
  // same row alone would be refused or stored otherwise; the rows are then
  // left to the station-by-station statements.
  const std::string warnings = Required(Query("select @@warning_count").ValueAt(0, 0));
  if (warnings != "0") {
    throw Failure(kErrInvalidCall,
                  "Der Server meldet " + warnings + " Warnungen zu " + ShortStatementText(sql));
  }
}

void BatchWriter::ExecuteRows(const RowsStatement& rows, const std::vector<DbValue>& params) {
  const auto per_row = static_cast<size_t>(std::count(rows.row.begin(), rows.row.end(), '?'));
  const size_t row_count = params.size() / per_row;
  const std::string sql = rows.head + rows.row + rows.tail;
  current_ = sql;
  // Rows are taken while their slots (each value as wide as its column's
  // widest so far) stay within the bound; a wider row goes alone.
  std::vector<size_t> widths(per_row, 1);
  size_t first = 0;
  const auto send = [&](size_t last) {
    db_.ExecuteArray(sql, per_row,
                     std::vector<DbValue>(params.begin() + static_cast<long>(first * per_row),
                                          params.begin() + static_cast<long>(last * per_row)));
    CheckWarnings(sql);
    first = last;
    std::fill(widths.begin(), widths.end(), 1);
  };
  for (size_t r = 0; r < row_count; ++r) {
    std::vector<size_t> with_row = widths;
    for (size_t c = 0; c < per_row; ++c) {
      const DbValue& v = params[r * per_row + c];
      if (v) with_row[c] = std::max(with_row[c], v->size());
    }
    const size_t row_bytes = std::accumulate(with_row.begin(), with_row.end(), size_t{0});
    if (r > first && (r + 1 - first) * row_bytes > kMaxArrayBytes) {
      send(r);
      --r;  // the row starts the next array
      continue;
    }
    widths = std::move(with_row);
  }
  if (first < row_count) send(row_count);
}

void BatchWriter::ExecuteRows(const std::string& head, const std::vector<std::string>& rows,
                              size_t values, const std::vector<DbValue>& params) {
  if (rows.empty()) return;
  const size_t markers = params.size() / rows.size();
  const size_t rows_per_statement = std::max<size_t>(1, kMaxValuesPerStatement / values);
  for (size_t first = 0; first < rows.size(); first += rows_per_statement) {
    const size_t last = std::min(rows.size(), first + rows_per_statement);
    std::string sql = head;
    for (size_t r = first; r < last; ++r) sql += (r == first ? " " : ", ") + rows[r];
    ExecuteChecked(sql, std::vector<DbValue>(params.begin() + static_cast<long>(first * markers),
                                             params.begin() + static_cast<long>(last * markers)));
  }
}

void CopyHistory(BatchWriter& db, const HistoryTables& t, const BatchTables& keys,
                 const std::string& stations) {
  const std::string history = t.history;
  const std::string key = Quoted(keys.history_key.at(history));
  const std::string highest =
      Required(db.Query("select coalesce( max( " + key + " ), 0 ) from " + history).ValueAt(0, 0));
  // Into the statements as a number only: a key column of text could hold anything.
  long long number = -1;
  const auto [end, ec] = std::from_chars(highest.data(), highest.data() + highest.size(), number);
  if (ec != std::errc() || end != highest.data() + highest.size() || number < 0) {
    throw Failure(kErrTypeMismatch, "Typen unverträglich: der höchste Schlüssel '" + highest +
                                        "' von " + history + " ist keine Ganzzahl");
  }
  const std::string last_key = std::to_string(number);
  db.Execute("insert into " + history + " select " + last_key +
             " + row_number() over ( order by station ), PS.* from " + t.table +
             " PS where station in ( " + stations + " )");
  // Ordered by the detail table's first two columns (station and the
  // record's number), which need not bear the names of the schema.
  db.Execute("insert into " + std::string(t.detail_history) + " select H." + key + ", MT.* from " +
             t.detail + " MT join " + history + " H on H.station = MT.station and H." + key +
             " > " + last_key + " where MT.station in ( " + stations + " ) order by 2, 3");
}

BatchResult WriteInOneTransaction(DbSession& session, Procedure& p,
                                  const std::function<void(BatchWriter&)>& statements) {
  const bool in_step = session.in_step;
  std::string in_progress = in_step ? "savepoint velunor_batch" : "start transaction";
  try {
    BatchWriter writer(session.db());
    try {
      writer.Execute(in_progress);
      if (!in_step && session.lease && !ConfirmLease(session.db(), *session.lease)) {
        in_progress = "rollback";
        writer.Execute("rollback");
        session.lease_refused = true;
        return BatchResult::kNotLeased;
      }
      statements(writer);
      writer.Execute(in_step ? "release savepoint velunor_batch" : "commit");
      return BatchResult::kWritten;
    } catch (const std::exception&) {
      in_progress = writer.current();
      if (CurrentError().number == kErrConnectionLost) throw;
    }
    // A refused statement ends only itself; the rest of the batch must not
    // become part of the station-by-station writes that follow.
    in_progress = in_step ? "rollback to savepoint velunor_batch" : "rollback";
    writer.Execute(in_progress);
    return BatchResult::kRefused;
  } catch (const std::exception&) {
    // Lost, or a rollback the server would not do: the transaction's fate
    // is the server's, and nothing more is sent on this connection.
    const CaughtError error = CurrentError();
    p.With(ShortStatementText(in_progress)).Log(error.number, error.description);
    return BatchResult::kConnectionLost;
  }
}

BatchResult WriteTogetherWhereSafe(DbSession& session, Procedure& p,
                                   const std::vector<std::string>& tables,
                                   const std::function<BatchResult(const BatchTables&)>& batch) {
  const BatchTables* read = BatchTablesOf(session, p);
  if (read == nullptr) {
    const bool lost = session.DbVerbindung == nullptr || session.DbVerbindung->broken();
    return lost ? BatchResult::kConnectionLost : BatchResult::kRefused;
  }
  return AllTransactional(*read, tables) ? batch(*read) : BatchResult::kRefused;
}

bool CopiedOneToHistory(DbSession& session, Procedure& p, int line, const std::string& sql) {
  bool copied = false;
  p.At(line).With(sql).Run([&] {
    session.db().Execute(sql);
    copied = session.db().affected_rows() > 0;
  });
  return copied;
}

}  // namespace velunor
