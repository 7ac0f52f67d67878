// A thin RAII layer over the unixODBC C API for the one database connection
// of the service. Every failure throws DbError with the driver's own text;
// a lost or refused server connection carries kErrConnectionLost. No ODBC
// type leaves this header's implementation.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "service/common/failure.h"

namespace velunor {

class DbError : public Failure {
 public:
  DbError(int32_t number, const std::string& description, std::string sqlstate, int native)
      : Failure(number, description), sqlstate_(std::move(sqlstate)), native_(native) {}
  const std::string& sqlstate() const { return sqlstate_; }
  int native() const { return native_; }

 private:
  std::string sqlstate_;
  int native_;
};

// A database value as text; std::nullopt is SQL NULL (distinct from "").
using DbValue = std::optional<std::string>;

// A fully fetched, read-only result: row count known at once, columns by
// name (case-insensitive, as written in the statement) or by position.
class ResultSet {
 public:
  ResultSet() = default;
  ResultSet(std::vector<std::string> columns, std::vector<std::vector<DbValue>> rows)
      : columns_(std::move(columns)), rows_(std::move(rows)) {}

  size_t RecordCount() const { return rows_.size(); }
  size_t ColumnCount() const { return columns_.size(); }
  const std::vector<std::string>& columns() const { return columns_; }
  // REQUIRES: nothing; throws Failure when the name is not a column.
  size_t ColumnIndex(std::string_view name) const;
  bool HasColumn(std::string_view name) const;

  // Throws Failure when row or column is out of range.
  const DbValue& Value(size_t row, std::string_view column) const;
  // Access by position (0-based, in select order), as GetRows gives it;
  // row first, like Value. Throws Failure when out of range.
  const DbValue& ValueAt(size_t row, size_t column) const;
  // The value as text; NULL gives "".
  std::string Text(size_t row, std::string_view column) const;
  // Hands the rows over, so that a large result is regrouped or mended
  // without a copy; the result has no rows afterwards.
  std::vector<std::vector<DbValue>> TakeRows() { return std::move(rows_); }

 private:
  std::vector<std::string> columns_;
  std::vector<std::vector<DbValue>> rows_;
};

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Opens with the driver manager connection string (no "Provider=" part).
  // Throws DbError; the description holds every diagnostic record.
  void Open(const std::string& connection_string, int login_timeout_seconds);
  bool IsOpen() const { return open_; }
  // Closes; throws DbError when the driver refuses, but is closed afterwards.
  void Close();

  // Runs a statement that returns no rows; it commits at once.
  void Execute(const std::string& sql);
  // Runs a statement with `?` markers bound to the texts (NULL for nullopt),
  // so values from the upstream tables never become part of the SQL text.
  void Execute(const std::string& sql, const std::vector<DbValue>& params);
  // Runs a statement of one row of `columns` markers once for every
  // `columns` values of `params`, as one parameter array: the driver sends
  // all rows with one bulk command, at a small cost per value. Throws
  // DbError when the statement or any row fails.
  // REQUIRES: params.size() is a positive multiple of columns.
  void ExecuteArray(const std::string& sql, size_t columns, const std::vector<DbValue>& params);
  // Runs a query and fetches the whole result.
  ResultSet Query(const std::string& sql);
  ResultSet Query(const std::string& sql, const std::vector<DbValue>& params);

  // The rows the last Execute inserted, changed or deleted, as the driver
  // counts them.
  long affected_rows() const { return affected_rows_; }
  // Statements sent since the connection was made (for benchmarks).
  long statements() const { return statements_; }
  // True after a statement failed with the lost-connection number: every
  // later statement then fails at once with that number, so a step never
  // waits on a dead connection more than once.
  bool broken() const { return broken_; }

 private:
  struct Handles;
  // Runs `statement` unless the connection is closed or broken; a lost
  // connection marks it broken.
  template <class F>
  auto Guarded(F&& statement);
  ResultSet Run(const std::string& sql, const std::vector<DbValue>* params, bool fetch);
  ResultSet RunStatement(const std::string& sql, const std::vector<DbValue>* params, bool fetch);
  void RunArray(const std::string& sql, size_t columns, const std::vector<DbValue>& params);
  std::unique_ptr<Handles> h_;
  bool open_ = false;
  bool broken_ = false;
  long statements_ = 0;
  long affected_rows_ = 0;
};

// The run's connection `db`; throws the lost-connection failure when there is none.
Connection& Connected(Connection* db);

// Wraps a connection-string value in braces when it holds ';', braces or
// surrounding blanks, so that no value can add or cut a key.
std::string OdbcValue(const std::string& value);

// True for the text of a missing driver or data source (English, German or
// unixODBC's "Can't open lib").
bool IsMissingDriverError(const std::string& description);

}  // namespace velunor
