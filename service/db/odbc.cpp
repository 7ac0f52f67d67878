#include "service/db/odbc.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cctype>

namespace velunor {

namespace {

// The number of a database failure that is not a lost connection when the
// driver gives no native number (ADO's "errors occurred").
constexpr int32_t kErrDatabaseGeneric = -2147217900;

// Failures after which the connection cannot be trusted with another
// statement: the connection is gone or timed out (08xxx, HYT00, 2002, 2003,
// 2006, 2013, 2055), a write timed out (5014, after which the driver reports
// false successes), or the server gave up waiting for a lock or for the
// statement itself (1205, 1969), which the service treats like a server that
// stopped answering.
bool LostConnection(const std::string& sqlstate, int native, const std::string& text) {
  if (sqlstate.rfind("08", 0) == 0 || sqlstate == "HYT00") return true;
  switch (native) {
    case 1205:
    case 1969:
    case 2002:
    case 2003:
    case 2006:
    case 2013:
    case 2055:
    case 5014:
      return true;
    default:
      break;
  }
  return text.find("server has gone away") != std::string::npos ||
         text.find("Lost connection") != std::string::npos;
}

DbError Diagnose(SQLSMALLINT type, SQLHANDLE handle, const std::string& what) {
  std::string first_state;
  int first_native = 0;
  std::string text;
  bool lost = false;
  for (SQLSMALLINT i = 1;; ++i) {
    SQLCHAR state[6] = {0};
    SQLINTEGER native = 0;
    SQLCHAR message[1024] = {0};
    SQLSMALLINT length = 0;
    const SQLRETURN rc =
        SQLGetDiagRec(type, handle, i, state, &native, message, sizeof message, &length);
    if (!SQL_SUCCEEDED(rc)) break;
    const std::string s(reinterpret_cast<char*>(state));
    const std::string m(reinterpret_cast<char*>(message));
    // A warning record (01000) may precede the error; the error decides.
    if (first_state.empty() || (first_state == "01000" && s != "01000")) {
      first_state = s;
      first_native = native;
    }
    if (LostConnection(s, native, m)) lost = true;
    if (!text.empty()) text += " ";
    text += m;
  }
  if (text.empty()) text = what + " failed without a diagnostic record";
  const int32_t number =
      lost ? kErrConnectionLost : (first_native != 0 ? first_native : kErrDatabaseGeneric);
  return DbError(number, text, first_state, first_native);
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

struct Connection::Handles {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  ~Handles() {
    if (dbc != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    if (env != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env);
  }
};

// Frees a statement handle on every path.
struct Statement {
  SQLHSTMT h = SQL_NULL_HSTMT;
  ~Statement() {
    if (h != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, h);
  }
};

size_t ResultSet::ColumnIndex(std::string_view name) const {
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (EqualNoCase(columns_[i], name)) return i;
  }
  throw Failure(3265, "Die Spalte '" + std::string(name) + "' ist im Ergebnis nicht vorhanden");
}

bool ResultSet::HasColumn(std::string_view name) const {
  return std::any_of(columns_.begin(), columns_.end(),
                     [&](const std::string& c) { return EqualNoCase(c, name); });
}

const DbValue& ResultSet::ValueAt(size_t row, size_t column) const {
  if (row >= rows_.size() || column >= columns_.size()) {
    throw Failure(kErrSubscriptOutOfRange, "Keine Zeile " + std::to_string(row) + " / Spalte " +
                                               std::to_string(column) + " im Ergebnis");
  }
  return rows_[row][column];
}

const DbValue& ResultSet::Value(size_t row, std::string_view column) const {
  return ValueAt(row, ColumnIndex(column));
}

std::string ResultSet::Text(size_t row, std::string_view column) const {
  const DbValue& v = Value(row, column);
  return v ? *v : std::string();
}

Connection::Connection() : h_(std::make_unique<Handles>()) {}

Connection::~Connection() {
  if (open_) SQLDisconnect(h_->dbc);
}

void Connection::Open(const std::string& connection_string, int login_timeout_seconds) {
  if (h_->env == SQL_NULL_HENV) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h_->env))) {
      throw DbError(kErrDatabaseGeneric, "ODBC environment could not be allocated", "", 0);
    }
    SQLSetEnvAttr(h_->env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, h_->env, &h_->dbc))) {
      throw Diagnose(SQL_HANDLE_ENV, h_->env, "SQLAllocHandle");
    }
  }
  SQLSetConnectAttr(h_->dbc, SQL_ATTR_LOGIN_TIMEOUT,
                    reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(login_timeout_seconds)), 0);
  SQLCHAR out[1024];
  SQLSMALLINT out_length = 0;
  std::string in = connection_string;
  const SQLRETURN rc = SQLDriverConnect(h_->dbc, nullptr, reinterpret_cast<SQLCHAR*>(in.data()),
                                        static_cast<SQLSMALLINT>(in.size()), out, sizeof out,
                                        &out_length, SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(rc)) throw Diagnose(SQL_HANDLE_DBC, h_->dbc, "SQLDriverConnect");
  open_ = true;
}

void Connection::Close() {
  if (!open_) return;
  open_ = false;
  if (!SQL_SUCCEEDED(SQLDisconnect(h_->dbc))) {
    throw Diagnose(SQL_HANDLE_DBC, h_->dbc, "SQLDisconnect");
  }
}

void Connection::Execute(const std::string& sql) { Run(sql, nullptr, false); }

void Connection::Execute(const std::string& sql, const std::vector<DbValue>& params) {
  Run(sql, &params, false);
}

ResultSet Connection::Query(const std::string& sql) { return Run(sql, nullptr, true); }

ResultSet Connection::Query(const std::string& sql, const std::vector<DbValue>& params) {
  return Run(sql, &params, true);
}

template <class F>
auto Connection::Guarded(F&& statement) {
  if (!open_) {
    throw DbError(kErrConnectionLost, "Die Verbindung zur Datenbank ist nicht geöffnet", "08003",
                  0);
  }
  if (broken_) {
    // One bounded wait per lost connection, not one per statement of the step.
    throw DbError(kErrConnectionLost,
                  "Die Verbindung zur Datenbank ist nach einem Verbindungsfehler nicht mehr "
                  "nutzbar",
                  "08S01", 0);
  }
  try {
    return statement();
  } catch (const DbError& e) {
    if (e.number() == kErrConnectionLost) broken_ = true;
    throw;
  }
}

ResultSet Connection::Run(const std::string& sql, const std::vector<DbValue>* params, bool fetch) {
  return Guarded([&] { return RunStatement(sql, params, fetch); });
}

void Connection::ExecuteArray(const std::string& sql, size_t columns,
                              const std::vector<DbValue>& params) {
  Guarded([&] { RunArray(sql, columns, params); });
}

void Connection::RunArray(const std::string& sql, size_t columns,
                          const std::vector<DbValue>& params) {
  ++statements_;
  affected_rows_ = 0;
  Statement st;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, h_->dbc, &st.h))) {
    throw Diagnose(SQL_HANDLE_DBC, h_->dbc, "SQLAllocHandle");
  }
  const size_t rows = params.size() / columns;
  std::vector<SQLUSMALLINT> row_status(rows, SQL_PARAM_UNUSED);
  const auto set = [&](SQLINTEGER attribute, SQLPOINTER value) {
    if (!SQL_SUCCEEDED(SQLSetStmtAttr(st.h, attribute, value, 0))) {
      throw Diagnose(SQL_HANDLE_STMT, st.h, "SQLSetStmtAttr");
    }
  };
  set(SQL_ATTR_PARAM_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_PARAM_BIND_BY_COLUMN));
  set(SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(rows));
  set(SQL_ATTR_PARAM_STATUS_PTR, row_status.data());
  SQLULEN processed = 0;
  set(SQL_ATTR_PARAMS_PROCESSED_PTR, &processed);
  // Column by column: each value in a slot as wide as the column's widest.
  std::vector<std::vector<char>> buffers(columns);
  std::vector<std::vector<SQLLEN>> indicators(columns, std::vector<SQLLEN>(rows));
  for (size_t c = columns; c-- > 0;) {
    size_t width = 1;
    for (size_t r = 0; r < rows; ++r) {
      const DbValue& v = params[r * columns + c];
      if (v) width = std::max(width, v->size());
    }
    buffers[c].assign(rows * width, '\0');
    for (size_t r = 0; r < rows; ++r) {
      const DbValue& v = params[r * columns + c];
      indicators[c][r] = v ? static_cast<SQLLEN>(v->size()) : SQL_NULL_DATA;
      if (v) std::copy(v->begin(), v->end(), buffers[c].begin() + static_cast<long>(r * width));
    }
    const SQLRETURN rc = SQLBindParameter(st.h, static_cast<SQLUSMALLINT>(c + 1), SQL_PARAM_INPUT,
                                          SQL_C_CHAR, SQL_VARCHAR, width, 0, buffers[c].data(),
                                          static_cast<SQLLEN>(width), indicators[c].data());
    if (!SQL_SUCCEEDED(rc)) throw Diagnose(SQL_HANDLE_STMT, st.h, "SQLBindParameter");
  }
  std::string text = sql;
  const SQLRETURN rc = SQLExecDirect(st.h, reinterpret_cast<SQLCHAR*>(text.data()),
                                     static_cast<SQLINTEGER>(text.size()));
  if (!SQL_SUCCEEDED(rc)) throw Diagnose(SQL_HANDLE_STMT, st.h, "SQLExecDirect");
  // An array the driver ran only in part counts as failed, whatever it
  // returned: the caller rolls back and counts none of its rows as written.
  const bool whole =
      processed == rows && std::all_of(row_status.begin(), row_status.end(), [](SQLUSMALLINT s) {
        return s == SQL_PARAM_SUCCESS || s == SQL_PARAM_SUCCESS_WITH_INFO;
      });
  if (!whole) throw Diagnose(SQL_HANDLE_STMT, st.h, "SQLExecDirect");
  SQLLEN count = 0;
  if (SQL_SUCCEEDED(SQLRowCount(st.h, &count))) affected_rows_ = static_cast<long>(count);
}

ResultSet Connection::RunStatement(const std::string& sql, const std::vector<DbValue>* params,
                                   bool fetch) {
  ++statements_;
  affected_rows_ = 0;
  Statement st;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, h_->dbc, &st.h))) {
    throw Diagnose(SQL_HANDLE_DBC, h_->dbc, "SQLAllocHandle");
  }
  std::vector<SQLLEN> indicators;
  if (params != nullptr) {
    indicators.resize(params->size());
    // The last marker first: the driver then makes room for all of them at
    // once instead of growing its table by one marker per call, which costs
    // a statement of 8,000 values about 20 ms.
    for (size_t i = params->size(); i-- > 0;) {
      const DbValue& p = (*params)[i];
      indicators[i] = p ? static_cast<SQLLEN>(p->size()) : SQL_NULL_DATA;
      const SQLRETURN rc = SQLBindParameter(
          st.h, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
          p ? std::max<SQLULEN>(p->size(), 1) : 1, 0, p ? const_cast<char*>(p->data()) : nullptr,
          p ? static_cast<SQLLEN>(p->size()) : 0, &indicators[i]);
      if (!SQL_SUCCEEDED(rc)) throw Diagnose(SQL_HANDLE_STMT, st.h, "SQLBindParameter");
    }
  }
  std::string text = sql;
  const SQLRETURN rc = SQLExecDirect(st.h, reinterpret_cast<SQLCHAR*>(text.data()),
                                     static_cast<SQLINTEGER>(text.size()));
  if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
    throw Diagnose(SQL_HANDLE_STMT, st.h, "SQLExecDirect");
  if (!fetch) {
    SQLLEN count = 0;
    if (rc != SQL_NO_DATA && SQL_SUCCEEDED(SQLRowCount(st.h, &count))) {
      affected_rows_ = static_cast<long>(count);
    }
    return {};
  }

  SQLSMALLINT column_count = 0;
  if (!SQL_SUCCEEDED(SQLNumResultCols(st.h, &column_count))) {
    throw Diagnose(SQL_HANDLE_STMT, st.h, "SQLNumResultCols");
  }
  std::vector<std::string> columns;
  for (SQLSMALLINT c = 1; c <= column_count; ++c) {
    SQLCHAR name[256] = {0};
    SQLSMALLINT name_length = 0;
    SQLDescribeCol(st.h, static_cast<SQLUSMALLINT>(c), name, sizeof name, &name_length, nullptr,
                   nullptr, nullptr, nullptr);
    columns.emplace_back(reinterpret_cast<char*>(name));
  }
  std::vector<std::vector<DbValue>> rows;
  for (;;) {
    const SQLRETURN f = SQLFetch(st.h);
    if (f == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(f)) throw Diagnose(SQL_HANDLE_STMT, st.h, "SQLFetch");
    std::vector<DbValue> row;
    row.reserve(static_cast<size_t>(column_count));
    for (SQLSMALLINT c = 1; c <= column_count; ++c) {
      std::string value;
      bool is_null = false;
      for (;;) {
        char buffer[4096];
        SQLLEN indicator = 0;
        const SQLRETURN g = SQLGetData(st.h, static_cast<SQLUSMALLINT>(c), SQL_C_CHAR, buffer,
                                       sizeof buffer, &indicator);
        if (g == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(g)) throw Diagnose(SQL_HANDLE_STMT, st.h, "SQLGetData");
        if (indicator == SQL_NULL_DATA) {
          is_null = true;
          break;
        }
        const size_t chunk =
            (indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(sizeof buffer))
                ? sizeof buffer - 1
                : static_cast<size_t>(indicator);
        value.append(buffer, chunk);
        if (g == SQL_SUCCESS) break;
      }
      row.push_back(is_null ? DbValue() : DbValue(std::move(value)));
    }
    rows.push_back(std::move(row));
  }
  return ResultSet(std::move(columns), std::move(rows));
}

Connection& Connected(Connection* db) {
  if (db == nullptr)
    throw DbError(kErrConnectionLost, "Keine Verbindung zur Datenbank", "08003", 0);
  return *db;
}

std::string OdbcValue(const std::string& value) {
  const bool plain = value.find_first_of(";{}") == std::string::npos &&
                     (value.empty() || (value.front() != ' ' && value.back() != ' '));
  if (plain) return value;
  std::string quoted = "{";
  for (char c : value) {
    quoted += c;
    if (c == '}') quoted += '}';
  }
  return quoted + "}";
}

bool IsMissingDriverError(const std::string& d) {
  const bool dsn = (d.find("Data source name") != std::string::npos ||
                    d.find("Datenquellenname") != std::string::npos) &&
                   d.find("ODBC") != std::string::npos;
  const bool unix_lib = d.find("[Driver Manager]Can't open lib") != std::string::npos;
  return dsn || unix_lib;
}

}  // namespace velunor
