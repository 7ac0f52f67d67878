#include "service/db/sql_statement.h"

namespace velunor {

std::string InsertOrUpdateStatement(const std::string& table, const std::vector<SqlColumn>& columns,
                                    std::vector<DbValue>* params) {
  std::string names;
  std::string marks;
  std::string updates;
  for (const SqlColumn& column : columns) {
    names += (names.empty() ? "" : ", ") + column.name;
    marks += marks.empty() ? "?" : ", ?";
    if (column.update) {
      updates += (updates.empty() ? "" : ", ") + column.name + " = values( " + column.name + " )";
    }
    params->push_back(column.value);
  }
  return "insert into " + table + " ( " + names + " ) values ( " + marks +
         " ) on duplicate key update " + updates;
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

}  // namespace velunor
