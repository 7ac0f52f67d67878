// A fake of the procedures' five roles for tests of the window and its front
// ends: records every call by name (with its arguments) and answers with
// values the test sets. Errors it is told to raise go to the FehlerLog the
// test hands in. WindowOnRecordings is the window itself on that fake.
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "service/common/failure.h"
#include "service/common/fehler_log.h"
#include "service/core/configuration.h"
#include "service/core/markt_transp.h"
#include "service/core/procedures.h"
#include "tests/test_env.h"

namespace velunor::testing {

// A window's configuration under test: the defaults, in `program_dir`.
inline Configuration ConfigurationIn(const std::filesystem::path& program_dir) {
  Configuration config;
  config.program_dir = program_dir;
  return config;
}

struct RecordingProcedures : DatabaseProcedures,
                             PublicationProcedures,
                             TransmissionProcedures,
                             LeaseProcedures,
                             ConfigurationQueries,
                             KommLogSink {
  Status DB_Verbinden() override {
    Call("DB_Verbinden");
    return connect_result == 1 ? Status() : Status::Error(kErrConnectionLost, connect_diagnostic);
  }
  Status DB_Trennen() override { return Call("DB_Trennen"); }
  Status DB_LOXStammdaten() override {
    Call("DB_LOXStammdaten");
    return fail_master_data ? Logged(13, "Typen unverträglich", "DB_LOXStammdaten") : Status();
  }
  Status XML_Init() override { return Call("XML_Init"); }
  Status DB_Stationsdaten(int mode, int* changed) override {
    *changed = station_changes;
    return Call("DB_Stationsdaten " + std::to_string(mode));
  }
  Status XML_Stationsdaten() override { return Call("XML_Stationsdaten"); }
  Status XML_Preisdaten() override { return Call("XML_Preisdaten"); }
  Status XML_Out_Station() override {
    station_number = "2026-000001";
    return Call("XML_Out_Station");
  }
  Status XML_Out_Preise() override {
    price_number = "2026-000001";
    return Call("XML_Out_Preise");
  }
  Status DB_Get_MTS_StationsPreise() override {
    Call("DB_Get_MTS_StationsPreise");
    return lose_connection_on_read ? Logged(kErrConnectionLost, "gone", "DB_Get_MTS_StationsPreise")
                                   : Status();
  }
  Status AktuellePreiseZuordnen() override { return Call("AktuellePreiseZuordnen"); }
  Status DB_Preisdaten() override { return Call("DB_Preisdaten"); }
  Status DB_TransferLog(int code, const std::string& text) override {
    return Call("DB_TransferLog " + std::to_string(code) + " " + text);
  }
  Status Gas_Tankstelle_Export() override { return Call("Gas_Tankstelle_Export"); }
  Status RunNightlyRefresh() override { return Call("RunNightlyRefresh"); }
  std::string SOAPEnvelope() override { return Call("SOAPEnvelope"), "<envelope/>"; }
  Status SOAPTransaction(const std::string& data, const std::string& kind, const std::string& url,
                         std::int64_t limit_ms) override {
    Call("SOAPTransaction " + kind + " " + url + " " + data);
    (void)limit_ms;  // no lease: never limited
    return transaction_result == 0 ? Status() : Status::Error(transaction_result, "refused");
  }
  void KommLog(const std::string& m) override { Call("KommLog " + m); }
  std::optional<ClientCertificateEnd> ClientCertificate() override { return certificate; }
  Status StationPublicationAcknowledged() override {
    return Call("StationPublicationAcknowledged");
  }
  std::optional<std::int64_t> UnacknowledgedStationsSince() override { return stations_since; }
  std::string StationPublicationNumber() override { return station_number; }
  std::string PricePublicationNumber() override { return price_number; }
  std::string UrlGrunddatenlieferung() override { return "https://grund"; }
  std::string UrlPreisdatenlieferung() override { return "https://preis"; }
  int LpgExportAktiv() override { return lpg; }

  Status Call(const std::string& name) {
    calls.push_back(name);
    return Status();
  }
  // A failure the procedure writes to the error log, as the real ones do.
  Status Logged(int32_t number, const std::string& text, const std::string& procedure) {
    log->Write(number, text, procedure, "");
    return Status::Error(number, text);
  }
  bool Called(const std::string& name) const {
    return std::find(calls.begin(), calls.end(), name) != calls.end();
  }

  FehlerLog* log = nullptr;
  std::vector<std::string> calls;
  int connect_result = 1;
  std::string connect_diagnostic = "SQLSTATE 28000, Fehler 1045: Access denied";
  // A usable client certificate far from its end, unless a test takes it away.
  std::optional<ClientCertificateEnd> certificate = ClientCertificateEnd{"CN=Test", 4102444800};
  std::optional<std::int64_t> stations_since;
  int station_changes = 0;
  int transaction_result = 0;
  bool fail_master_data = false;
  bool lose_connection_on_read = false;
  int lpg = 0;
  std::string station_number = "2026-000005";
  std::string price_number = "2026-000007";
};

// The window under test on the recording procedures `Procs`, with the default
// configuration in the test's folder, behind the front end the test hands in
// (and its `env`, where that front end is also the window host).
template <class Procs = RecordingProcedures>
struct WindowOnRecordings {
  WindowOnRecordings(TestEnv& t, FrontEnd& front_end) : WindowOnRecordings(t, t.env, front_end) {}
  WindowOnRecordings(TestEnv& t, Env& env, FrontEnd& front_end)
      : dir(t.dir.path()), scheduler(env, procs, front_end, config), w(env, front_end, scheduler) {
    procs.log = &t.log;
  }
  void WriteStationIni() { testing::WriteStationIni(dir, "127.0.0.1:3306", "velunor", "geheim"); }
  // Writes a STATION.INI and runs the start-up sequence.
  void Start() {
    WriteStationIni();
    w.Form_Load();
    w.Form_Activate();
  }
  void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) w.Haupt_Timer_Timer();
  }

  std::filesystem::path dir;
  Procs procs;
  Configuration config = ConfigurationIn(dir);
  Scheduler scheduler;
  MarktTransp w;
};

}  // namespace velunor::testing
