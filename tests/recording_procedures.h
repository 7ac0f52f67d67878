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
  void DB_Trennen() override { Call("DB_Trennen"); }
  void DB_LOXStammdaten() override {
    Call("DB_LOXStammdaten");
    if (fail_stammdaten) log->Write(13, "Typen unverträglich", "DB_LOXStammdaten", "");
  }
  void XML_Init() override { Call("XML_Init"); }
  int DB_Stationsdaten(int mode) override {
    Call("DB_Stationsdaten " + std::to_string(mode));
    return station_changes;
  }
  void XML_Stationsdaten() override { Call("XML_Stationsdaten"); }
  void XML_Preisdaten() override { Call("XML_Preisdaten"); }
  void XML_Out_Station() override {
    Call("XML_Out_Station");
    station_number = "2026-000001";
  }
  void XML_Out_Preise() override {
    Call("XML_Out_Preise");
    price_number = "2026-000001";
  }
  void DB_Get_MTS_StationsPreise() override {
    Call("DB_Get_MTS_StationsPreise");
    if (lose_connection_on_read)
      log->Write(kErrConnectionLost, "gone", "DB_Get_MTS_StationsPreise", "");
  }
  void AktuellePreiseZuordnen() override { Call("AktuellePreiseZuordnen"); }
  void DB_Preisdaten() override { Call("DB_Preisdaten"); }
  void DB_TransferLog(int code, const std::string& text) override {
    Call("DB_TransferLog " + std::to_string(code) + " " + text);
  }
  void Gas_Tankstelle_Export() override { Call("Gas_Tankstelle_Export"); }
  void RunNightlyRefresh() override { Call("RunNightlyRefresh"); }
  std::string SOAPEnvelope() override { return Call("SOAPEnvelope"), "<envelope/>"; }
  Status SOAPTransaction(const std::string& data, const std::string& kind, const std::string& url,
                         std::int64_t limit_ms) override {
    Call("SOAPTransaction " + kind + " " + url + " " + data);
    (void)limit_ms;  // no lease: never limited
    return transaction_result == 0 ? Status() : Status::Error(transaction_result, "refused");
  }
  void KommLog(const std::string& m) override { Call("KommLog " + m); }
  std::optional<ClientCertificateEnd> ClientCertificate() override { return certificate; }
  void StationPublicationAcknowledged() override { Call("StationPublicationAcknowledged"); }
  std::optional<std::int64_t> UnacknowledgedStationsSince() override { return stations_since; }
  std::string StationPublicationNumber() override { return station_number; }
  std::string PricePublicationNumber() override { return price_number; }
  std::string UrlGrunddatenlieferung() override { return "https://grund"; }
  std::string UrlPreisdatenlieferung() override { return "https://preis"; }
  int LpgExportAktiv() override { return lpg; }

  void Call(const std::string& name) { calls.push_back(name); }
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
  bool fail_stammdaten = false;
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
      : dir(t.dir.path()), w(env, procs, front_end, config) {
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
  MarktTransp w;
};

}  // namespace velunor::testing
