#include "service/db/connect.h"

#include <string>
#include <vector>

#include "service/common/procedure.h"

namespace velunor {

namespace {
constexpr const char* kProvider = "Provider=MSDASQL;";
constexpr int kLoginTimeoutSeconds = 10;

// The server gives up on a lock or a statement before the client's 30 s read
// time-out would: the statement ends cleanly on the server (no write left
// behind to finish later, no thread left waiting) and the service treats it
// as a lost connection all the same.
constexpr const char* kSessionLimits =
    "set session innodb_lock_wait_timeout = 20, lock_wait_timeout = 20, "
    "max_statement_time = 25";

// A step of the reporter is one transaction that holds the lease's row from
// its first statement to its commit. A reporter that vanishes in the middle
// of one (a machine without power, a frozen VM, a cut network) leaves its
// session on the server, and the row locked, until the server notices, which
// may take hours: the standby could not take over. The server ends a
// session that sits idle inside a transaction for longer than any step may
// (a transmission within a step ends within the lease), and rolls it back.
constexpr int kIdleStepMarginSeconds = 10;

// The session's limits, each statement on its own: a server without one of
// them keeps the others and the client's time-outs; a lost connection shows
// at the first statement.
void LimitSession(int lease_seconds, Connection& db) {
  std::vector<std::string> limits = {kSessionLimits};
  if (lease_seconds > 0) {
    limits.push_back("set session idle_transaction_timeout = " +
                     std::to_string(lease_seconds + kIdleStepMarginSeconds));
  }
  for (const std::string& limit : limits) {
    try {
      db.Execute(limit);
    } catch (const Failure&) {
    }
  }
}

// "SQLSTATE 28000, Fehler 1045: <driver text>"; the password never appears,
// even where a driver would quote the connection string back.
std::string Diagnostic(const Failure& f, const std::string& password) {
  std::string text = f.description();
  if (!password.empty()) {
    for (size_t at = 0; (at = text.find(password, at)) != std::string::npos; at += 3) {
      text.replace(at, password.size(), "***");
    }
  }
  if (const auto* db = dynamic_cast<const DbError*>(&f)) {
    return "SQLSTATE " + (db->sqlstate().empty() ? std::string("-") : db->sqlstate()) +
           ", Fehler " + std::to_string(db->native()) + ": " + text;
  }
  return text;
}

}  // namespace

bool IPPort(const std::string& entry, std::string& host, std::string& port) {
  const size_t colon = entry.find(':');
  if (colon == std::string::npos) return false;
  host = entry.substr(0, colon);
  port = entry.substr(colon + 1);
  return true;
}

std::string ConnectionString(const std::string& driver, const std::string& server,
                             const std::string& user, const std::string& password) {
  const std::string head = std::string(kProvider) + "DRIVER={" + driver + "};";
  if (server.empty()) {
    return head + "Server=localhost;UID=lox_user;PWD=hul_drev;database=lox;Option=11";
  }
  std::string host;
  std::string port;
  if (IPPort(server, host, port)) {
    return head + "SERVER=" + OdbcValue(host) + ";PORT=" + OdbcValue(port) +
           ";DATABASE=lox;UID=" + OdbcValue(user) + ";PWD=" + OdbcValue(password) + ";Option=11";
  }
  return head + "Server=" + OdbcValue(server) + ";UID=" + OdbcValue(user) +
         ";PWD=" + OdbcValue(password) + ";database=lox;Option=11";
}

Status OpenConnection(const ConnectionRequest& request, FehlerLog& log,
                      std::unique_ptr<Connection>* connection, int* attempts) {
  std::string driver = kDriver31;
  int tried = 0;
  for (;;) {
    ++tried;
    if (attempts != nullptr) *attempts = tried;
    std::string full;
    {
      // A failure while splitting the entry is the only one that is logged.
      Procedure p(log, "IPPort");
      p.Run(
          [&] { full = ConnectionString(driver, request.server, request.user, request.password); });
    }
    // The driver manager gets everything after the ADO provider selection.
    const std::string odbc = full.substr(std::string(kProvider).size()) + request.suffix;
    *connection = std::make_unique<Connection>();
    try {
      (*connection)->Open(odbc, kLoginTimeoutSeconds);
      if (!(*connection)->IsOpen()) return Status::Error(kErrConnectionLost, "");
      LimitSession(request.lease_seconds, **connection);
      return Status();
    } catch (const Failure& f) {
      if (IsMissingDriverError(f.description()) && driver != kDriver20) {
        driver = kDriver20;
        continue;
      }
      return Status::Error(kErrConnectionLost, Diagnostic(f, request.password));
    }
  }
}

Status DB_Verbinden(DbSession& session, FehlerLog& log, const std::string& server) {
  session.batch_tables.reset();
  const ConnectionRequest request{server, session.DbBenutzer, session.DbPasswort,
                                  session.connection_suffix,
                                  session.lease ? session.lease->seconds : 0};
  const Status opened =
      OpenConnection(request, log, &session.DbVerbindung, &session.connect_attempts);
  if (opened.ok()) session.DbVerbunden = 1;
  return opened;
}

void DB_Trennen(DbSession& session) {
  if (session.DbVerbunden != 1) return;
  try {
    if (session.DbVerbindung) session.DbVerbindung->Close();
  } catch (const Failure&) {
    // Closing at the end of the run: nothing left to tell anyone.
  }
  session.DbVerbindung.reset();
  session.DbVerbunden = 0;
}

}  // namespace velunor
