// The fixture of the tests of one procedure on the private database: a fresh
// TestEnv connected to a reset `lox`, and the SQL a test runs on it. A
// statement the server refuses throws DbError, which fails the test.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "service/db/odbc.h"
#include "tests/small_network.h"
#include "tests/test_support.h"

namespace velunor::testing {

class DbTest : public ::testing::Test {
 protected:
  void Sql(const std::string& sql) { t_.sql().Execute(sql); }
  void Sql(const std::string& sql, const std::vector<DbValue>& params) {
    t_.sql().Execute(sql, params);
  }
  // The rows of a query, fields joined by ",", rows by " | "; NULL as <null>.
  std::string Rows(const std::string& sql) { return QueryRows(t_.sql(), sql); }
  // The first field of the first row; <null> when there is none or it is NULL.
  std::string One(const std::string& sql) {
    const ResultSet rs = t_.sql().Query(sql);
    return rs.RecordCount() == 0 || !rs.ValueAt(0, 0) ? "<null>" : *rs.ValueAt(0, 0);
  }

  DbTestEnv t_;
};

}  // namespace velunor::testing
