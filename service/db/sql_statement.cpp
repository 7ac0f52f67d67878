#include "service/db/sql_statement.h"

namespace velunor {

RowsStatement InsertOrUpdateRows(const std::string& table, const std::vector<SqlColumn>& columns) {
  std::string names;
  std::string updates;
  for (const SqlColumn& column : columns) {
    names += (names.empty() ? "" : ", ") + column.name;
    if (column.update) {
      updates += (updates.empty() ? "" : ", ") + column.name + " = values( " + column.name + " )";
    }
  }
  return {"insert into " + table + " ( " + names + " ) values ", MarkerRow(columns.size()),
          " on duplicate key update " + updates};
}

std::string InsertOrUpdateStatement(const std::string& table, const std::vector<SqlColumn>& columns,
                                    std::vector<DbValue>* params) {
  for (const SqlColumn& column : columns) params->push_back(column.value);
  const RowsStatement parts = InsertOrUpdateRows(table, columns);
  return parts.head + parts.row + parts.tail;
}

std::string MarkerRow(size_t columns) {
  std::string row = "(";
  for (size_t c = 0; c < columns; ++c) row += c == 0 ? " ?" : ", ?";
  return row + " )";
}

std::string BoundStatementText(const std::string& sql, const std::vector<DbValue>& params) {
  std::string text;
  size_t next = 0;
  for (char c : sql) {
    if (c == '?' && next < params.size()) {
      const DbValue& v = params[next++];
      text += v ? "'" + *v + "'" : "NULL";
    } else {
      text += c;
    }
  }
  return text;
}

std::string KeyList(const std::vector<long>& keys) {
  std::string list;
  for (long key : keys) list += (list.empty() ? "" : ", ") + std::to_string(key);
  return list;
}

std::string ShortStatementText(const std::string& sql) {
  constexpr size_t kShown = 200;
  if (sql.size() <= kShown) return sql;
  size_t cut = kShown;
  // Never in the middle of a UTF-8 character.
  while (cut > 0 && (static_cast<unsigned char>(sql[cut]) & 0xC0) == 0x80) --cut;
  return sql.substr(0, cut) + " ... (" + std::to_string(sql.size()) + " Zeichen)";
}

}  // namespace velunor
