#include "service/db/verbindung.h"

#include "service/common/procedure.h"

namespace velunor {

namespace {
constexpr const char* kProvider = "Provider=MSDASQL;";
constexpr int kLoginTimeoutSeconds = 10;
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

int DB_Verbinden(DbState& state, const std::string& server) {
  std::string driver = kDriver31;
  state.connect_attempts = 0;
  for (;;) {
    ++state.connect_attempts;
    std::string full;
    {
      // A failure while splitting the entry is the only one that is logged.
      Procedure p(state.env.log, "IPPort");
      p.Run([&] { full = ConnectionString(driver, server, state.DbBenutzer, state.DbPasswort); });
    }
    // The driver manager gets everything after the ADO provider selection.
    const std::string odbc = full.substr(std::string(kProvider).size()) + state.connection_suffix;
    state.DbVerbindung = std::make_unique<Connection>();
    try {
      state.DbVerbindung->Open(odbc, kLoginTimeoutSeconds);
      if (!state.DbVerbindung->IsOpen()) return 0;
      state.DbVerbunden = 1;
      return 1;
    } catch (const Failure& f) {
      if (IsMissingDriverError(f.description()) && driver != kDriver20) {
        driver = kDriver20;
        continue;
      }
      return 0;
    }
  }
}

void DB_Trennen(DbState& state) {
  if (state.DbVerbunden != 1) return;
  try {
    if (state.DbVerbindung) state.DbVerbindung->Close();
  } catch (const Failure&) {
    // Closing at the end of the run: nothing left to tell anyone.
  }
  state.DbVerbindung.reset();
  state.DbVerbunden = 0;
}

}  // namespace velunor
