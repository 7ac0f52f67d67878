// The text of a statement with bound parameters as an operator reads it in the
// error log: every `?` replaced by its value in quotes, or NULL.
#pragma once

#include <string>
#include <vector>

#include "service/db/odbc.h"

namespace velunor {

inline std::string BoundStatementText(const std::string& sql, const std::vector<DbValue>& params) {
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
