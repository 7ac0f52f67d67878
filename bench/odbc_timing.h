// How long the process has spent inside the ODBC driver manager and driver:
// every ODBC call the connection layer makes for a statement (allocate, bind,
// execute, describe, fetch, read, free) is routed through a timing wrapper by
// the linker (--wrap, see bench/CMakeLists.txt), so a benchmark can tell the
// database's share of a step from the service's own work. Single-threaded.
#pragma once

#include <chrono>

namespace velunor::bench {

// The wrapped ODBC calls, for the breakdown of the total.
enum class OdbcCall {
  kAllocHandle,
  kFreeHandle,
  kBindParameter,
  kExecDirect,
  kNumResultCols,
  kDescribeCol,
  kFetch,
  kGetData,
  kCount
};
const char* OdbcCallName(OdbcCall call);

// Total time inside the wrapped ODBC calls since the process started.
std::chrono::nanoseconds OdbcTime();
// Time inside one kind of call since the process started.
std::chrono::nanoseconds OdbcTime(OdbcCall call);

}  // namespace velunor::bench
