#include "bench/odbc_timing.h"

#include <array>

#include <sql.h>
#include <sqlext.h>

namespace velunor::bench {

namespace {

std::array<std::chrono::nanoseconds, static_cast<size_t>(OdbcCall::kCount)>& Totals() {
  static std::array<std::chrono::nanoseconds, static_cast<size_t>(OdbcCall::kCount)> totals{};
  return totals;
}

}  // namespace

// Adds the time of one call to its kind's total.
template <class F>
SQLRETURN Timed(OdbcCall kind, F&& call) {
  const auto start = std::chrono::steady_clock::now();
  const SQLRETURN rc = call();
  Totals()[static_cast<size_t>(kind)] += std::chrono::steady_clock::now() - start;
  return rc;
}

const char* OdbcCallName(OdbcCall call) {
  static const char* const kNames[] = {"SQLAllocHandle", "SQLFreeHandle",    "SQLBindParameter",
                                       "SQLExecDirect",  "SQLNumResultCols", "SQLDescribeCol",
                                       "SQLFetch",       "SQLGetData"};
  return kNames[static_cast<size_t>(call)];
}

std::chrono::nanoseconds OdbcTime(OdbcCall call) { return Totals()[static_cast<size_t>(call)]; }

std::chrono::nanoseconds OdbcTime() {
  std::chrono::nanoseconds total{0};
  for (const auto& t : Totals()) total += t;
  return total;
}

}  // namespace velunor::bench

using velunor::bench::OdbcCall;
using velunor::bench::Timed;

// The linker sends the connection layer's calls here (--wrap=SQLxxx) and the
// __real_ names to the driver manager.
extern "C" {

SQLRETURN __real_SQLAllocHandle(SQLSMALLINT, SQLHANDLE, SQLHANDLE*);
SQLRETURN __real_SQLFreeHandle(SQLSMALLINT, SQLHANDLE);
SQLRETURN __real_SQLBindParameter(SQLHSTMT, SQLUSMALLINT, SQLSMALLINT, SQLSMALLINT, SQLSMALLINT,
                                  SQLULEN, SQLSMALLINT, SQLPOINTER, SQLLEN, SQLLEN*);
SQLRETURN __real_SQLExecDirect(SQLHSTMT, SQLCHAR*, SQLINTEGER);
SQLRETURN __real_SQLNumResultCols(SQLHSTMT, SQLSMALLINT*);
SQLRETURN __real_SQLDescribeCol(SQLHSTMT, SQLUSMALLINT, SQLCHAR*, SQLSMALLINT, SQLSMALLINT*,
                                SQLSMALLINT*, SQLULEN*, SQLSMALLINT*, SQLSMALLINT*);
SQLRETURN __real_SQLFetch(SQLHSTMT);
SQLRETURN __real_SQLGetData(SQLHSTMT, SQLUSMALLINT, SQLSMALLINT, SQLPOINTER, SQLLEN, SQLLEN*);

SQLRETURN __wrap_SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output) {
  return Timed(OdbcCall::kAllocHandle, [&] { return __real_SQLAllocHandle(type, input, output); });
}
SQLRETURN __wrap_SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
  return Timed(OdbcCall::kFreeHandle, [&] { return __real_SQLFreeHandle(type, handle); });
}
SQLRETURN __wrap_SQLBindParameter(SQLHSTMT h, SQLUSMALLINT n, SQLSMALLINT io, SQLSMALLINT c_type,
                                  SQLSMALLINT sql_type, SQLULEN size, SQLSMALLINT digits,
                                  SQLPOINTER value, SQLLEN length, SQLLEN* indicator) {
  return Timed(OdbcCall::kBindParameter, [&] {
    return __real_SQLBindParameter(h, n, io, c_type, sql_type, size, digits, value, length,
                                   indicator);
  });
}
SQLRETURN __wrap_SQLExecDirect(SQLHSTMT h, SQLCHAR* text, SQLINTEGER length) {
  return Timed(OdbcCall::kExecDirect, [&] { return __real_SQLExecDirect(h, text, length); });
}
SQLRETURN __wrap_SQLNumResultCols(SQLHSTMT h, SQLSMALLINT* count) {
  return Timed(OdbcCall::kNumResultCols, [&] { return __real_SQLNumResultCols(h, count); });
}
SQLRETURN __wrap_SQLDescribeCol(SQLHSTMT h, SQLUSMALLINT n, SQLCHAR* name, SQLSMALLINT size,
                                SQLSMALLINT* length, SQLSMALLINT* type, SQLULEN* column_size,
                                SQLSMALLINT* digits, SQLSMALLINT* nullable) {
  return Timed(OdbcCall::kDescribeCol, [&] {
    return __real_SQLDescribeCol(h, n, name, size, length, type, column_size, digits, nullable);
  });
}
SQLRETURN __wrap_SQLFetch(SQLHSTMT h) {
  return Timed(OdbcCall::kFetch, [&] { return __real_SQLFetch(h); });
}
SQLRETURN __wrap_SQLGetData(SQLHSTMT h, SQLUSMALLINT n, SQLSMALLINT type, SQLPOINTER value,
                            SQLLEN size, SQLLEN* indicator) {
  return Timed(OdbcCall::kGetData,
               [&] { return __real_SQLGetData(h, n, type, value, size, indicator); });
}

}  // extern "C"
