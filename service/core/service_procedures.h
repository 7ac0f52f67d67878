// The real procedures of the service on its process state: what the start-up
// sequence and the scheduler call. Each one follows its own failure handling;
// nothing here adds any.
#pragma once

#include <string>

#include "service/core/procedures.h"
#include "service/core/velunor_state.h"
#include "service/status/operations.h"
#include "service/transmission/https_transport.h"

namespace velunor {

// Who this instance is for the reporter lease, and how long the lease lasts.
struct LeaseSettings {
  std::string instance_name;
  std::string token;
  int seconds = 60;
};

class ServiceProcedures : public Procedures {
 public:
  // `state`, `transport` and `operations` (may be null: nothing is archived
  // or counted) must outlive the procedures.
  ServiceProcedures(VelunorState& state, HttpsTransport& transport,
                    Operations* operations = nullptr, LeaseSettings lease = LeaseSettings())
      : s_(state), transport_(transport), operations_(operations), lease_(std::move(lease)) {}

  int DB_Verbinden() override;
  std::string ConnectDiagnostic() override;
  void DB_Trennen() override;
  void DB_LOXStammdaten() override;
  void XML_Init() override;
  int DB_Stationsdaten(int mode) override;
  void XML_Stationsdaten() override;
  void XML_Preisdaten() override;
  void XML_Out_Station() override;
  void XML_Out_Preise() override;
  void DB_Get_MTS_StationsPreise() override;
  void AktuellePreiseZuordnen() override;
  void DB_Preisdaten() override;
  void DB_TransferLog(int code, const std::string& text) override;
  void Gas_Tankstelle_Export() override;
  void RunNightlyRefresh() override;
  std::string SOAPEnvelope() override;
  int SOAPTransaction(const std::string& sende_daten, const std::string& sende_art,
                      const std::string& url) override;
  void KommLog(const std::string& meldung) override;
  void StationPublicationAcknowledged() override;
  std::optional<std::int64_t> UnacknowledgedStationsSince() override;

  std::string StationPublicationNumber() override;
  std::string PricePublicationNumber() override;
  std::string UrlGrunddatenlieferung() override;
  std::string UrlPreisdatenlieferung() override;
  int LpgExportAktiv() override;
  std::optional<ClientCertificateEnd> ClientCertificate() override;
  std::string ClientCertificateSubject() override;
  KnownAcknowledgements Acknowledgements() override;
  std::string WritePath() override;
  int LeaseSeconds() override { return lease_.seconds; }
  bool TakeReporterLease() override;
  std::optional<LeaseHolder> ReporterLeaseHolder() override;
  void LimitNextTransmission(std::int64_t milliseconds) override {
    transmission_limit_ms_ = milliseconds;
  }
  void ForgetRunState() override;

 private:
  VelunorState& s_;
  HttpsTransport& transport_;
  Operations* operations_;
  bool connected_before_ = false;  // a later connection is a reconnect
  LeaseSettings lease_;
  bool lease_prepared_ = false;  // the lease's table and row exist
  std::int64_t transmission_limit_ms_ = 0;
};

}  // namespace velunor
