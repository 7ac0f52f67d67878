// Statements with bound parameters: the one way the service writes a row by
// column name (insert it, or change the named columns of the existing one),
// the pieces of statements that name many stations or rows at once, and the
// text of a statement as an operator reads it in the error log.
#pragma once

#include <string>
#include <vector>

#include "service/db/odbc.h"

namespace velunor {

// One column of a row to write. A column with `update` false is set only in a
// new row (the key, or a value an existing row keeps).
struct SqlColumn {
  std::string name;
  DbValue value;
  bool update = true;
};

// "insert into TABLE ( a, b ) values ( ?, ? ) on duplicate key update
// b = values( b )": adds the row, or changes the updated columns of the row
// with the same key, the effect of adding or changing a row through an
// updatable result set. Appends the values to `params` in marker order.
// REQUIRES: at least one column with `update` true.
std::string InsertOrUpdateStatement(const std::string& table, const std::vector<SqlColumn>& columns,
                                    std::vector<DbValue>* params);

// A statement for many rows of the same columns: head, then one `row` of
// markers per row, separated by ", ", then tail.
struct RowsStatement {
  std::string head;
  std::string row;
  std::string tail;
};

// The parts of InsertOrUpdateStatement (the columns' values are not used).
RowsStatement InsertOrUpdateRows(const std::string& table, const std::vector<SqlColumn>& columns);

// "( ?, ?, ? )": the markers of one row of `columns` values.
std::string MarkerRow(size_t columns);

// The statement with every `?` replaced by its value in quotes, or NULL.
std::string BoundStatementText(const std::string& sql, const std::vector<DbValue>& params);

// "1, 2, 3": station numbers for "where station in ( ... )".
std::string KeyList(const std::vector<long>& keys);

// The statement for a log entry: a statement for many stations is cut after
// its first 200 characters, with its length, so that one entry stays readable.
std::string ShortStatementText(const std::string& sql);

}  // namespace velunor
