// The real procedures of the service on its process state, in the roles the
// start-up sequence and the scheduler call them: most are the real procedure
// called on the state in one line. Each follows its own failure handling
// and nothing here adds any: what a procedure logged becomes its Status
// (Logged), what it throws becomes the Status its caller logs (StatusOf).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "service/common/fehler_log.h"
#include "service/common/status.h"
#include "service/core/instance_token.h"
#include "service/core/procedures.h"
#include "service/core/process_state.h"
#include "service/db/acknowledgements.h"
#include "service/db/connect.h"
#include "service/db/db_hand_ins.h"
#include "service/db/lox_stammdaten.h"
#include "service/db/preisdaten.h"
#include "service/db/reporter_lease.h"
#include "service/db/stationsdaten.h"
#include "service/publication/publication_hand_ins.h"
#include "service/publication/station_body.h"
#include "service/status/operations.h"
#include "service/transmission/https_transport.h"
#include "service/transmission/soap_envelope.h"

namespace velunor {

// Who this instance is for the reporter lease, and how long the lease lasts.
struct LeaseSettings {
  std::string instance_name;
  std::string token;
  int seconds = 60;
};

class ServiceProcedures : public DatabaseProcedures,
                          public PublicationProcedures,
                          public TransmissionProcedures,
                          public LeaseProcedures,
                          public ConfigurationQueries {
 public:
  // `state`, `transport` and `operations` (may be null: nothing is archived
  // or counted) must outlive the procedures.
  ServiceProcedures(ProcessState& state, HttpsTransport& transport,
                    Operations* operations = nullptr, LeaseSettings lease = LeaseSettings())
      : s_(state), transport_(transport), operations_(operations) {
    claim_ = {std::move(lease.instance_name), std::move(lease.token), RandomNonce(), lease.seconds};
    if (claim_.seconds > 0) s_.db.lease = claim_;
  }

  // DatabaseProcedures.
  Status DB_Verbinden() override;
  Status DB_Trennen() override {
    return Logged([&] { velunor::DB_Trennen(s_.db); });
  }
  Status DB_LOXStammdaten() override;
  Status DB_Stationsdaten(int mode, int* changed) override {
    return Logged([&] { *changed = velunor::DB_Stationsdaten(s_.db, mode); });
  }
  Status DB_Get_MTS_StationsPreise() override {
    return Logged([&] { velunor::DB_Get_MTS_StationsPreise(s_.db); });
  }
  Status AktuellePreiseZuordnen() override {
    return Logged([&] { velunor::AktuellePreiseZuordnen(s_.db); });
  }
  Status DB_Preisdaten() override {
    return Logged([&] { velunor::DB_Preisdaten(s_.db); });
  }
  Status Gas_Tankstelle_Export() override {
    return Logged([&] { velunor::Gas_Tankstelle_Export(s_.db); });
  }
  Status RunNightlyRefresh() override;
  std::string WritePath() override;

  // PublicationProcedures.
  Status XML_Init() override {
    return Logged([&] { velunor::XML_Init(s_.pub, s_.db); });
  }
  Status XML_Stationsdaten() override {
    return Logged([&] { velunor::XML_Stationsdaten(s_.pub, s_.db); });
  }
  Status XML_Preisdaten() override {
    return Logged([&] { velunor::XML_Preisdaten(s_.pub, s_.db); });
  }
  Status XML_Out_Station() override;
  Status XML_Out_Preise() override {
    return Logged([&] { velunor::XML_Out_Preise(s_.pub, s_.db); });
  }
  // The envelope takes the document over: a large network's publication is
  // then held once, not twice, while it is sent.
  std::string SOAPEnvelope() override {
    return velunor::SOAPEnvelope(std::move(s_.pub.PublicationXml));
  }
  std::string StationPublicationNumber() override {
    return s_.db.stammdaten.StationPublicationNumber;
  }
  std::string PricePublicationNumber() override { return s_.db.stammdaten.PricePublicationNumber; }

  // TransmissionProcedures.
  Status SOAPTransaction(const std::string& sende_daten, const std::string& sende_art,
                         const std::string& url, std::int64_t limit_ms) override;
  Status DB_TransferLog(int code, const std::string& text) override {
    return Logged([&] { velunor::DB_TransferLog(s_.db, code, text); });
  }
  Status StationPublicationAcknowledged() override;
  std::optional<std::int64_t> UnacknowledgedStationsSince() override {
    return s_.db.delivery.since;
  }
  Status Acknowledgements(KnownAcknowledgements* known) override {
    return StatusOf([&] { *known = ReadAcknowledgements(s_.db.db(), s_.env.clock); });
  }

  // LeaseProcedures.
  int LeaseSeconds() override { return claim_.seconds; }
  Status TakeReporterLease(LeaseAnswer* answer) override;
  Status ReporterLeaseHolder(std::optional<LeaseHolder>* holder) override {
    return StatusOf([&] { *holder = ReadLeaseHolder(s_.db.db()); });
  }
  Status ConfirmReporterLease(bool* held) override;
  Status BeginLeasedStep(bool* held) override;
  Status EndLeasedStep(bool* held) override;
  void AbandonLeasedStep() override;
  Status ReleaseReporterLease() override;
  void ForgetRunState() override;

  // ConfigurationQueries.
  std::string UrlGrunddatenlieferung() override { return s_.db.settings.UrlGrunddatenlieferung; }
  std::string UrlPreisdatenlieferung() override { return s_.db.settings.UrlPreisdatenlieferung; }
  int LpgExportAktiv() override { return s_.db.stammdaten.LpgExportAktiv; }
  std::optional<ClientCertificateEnd> ClientCertificate() override;
  std::string ClientCertificateSubject() override { return s_.db.settings.VerwendetesZertifikat; }

 private:
  // Runs a procedure that logs its own failures; returns them.
  template <class F>
  Status Logged(F&& procedure) {
    return LoggedFailuresOf(s_.env.log, std::forward<F>(procedure));
  }
  // Writes MovedEndpointText to the error log, once a day for each move.
  void TellMovedEndpoint(const std::string& url, const std::string& moved_to);

  ProcessState& s_;
  HttpsTransport& transport_;
  Operations* operations_;
  // When each move (old and new URL) was last told.
  std::map<std::string, std::int64_t> moved_told_;
  bool connected_before_ = false;  // a later connection is a reconnect
  LeaseClaim claim_;
  bool lease_prepared_ = false;  // the lease's table and row exist
  bool lease_answered_ = false;  // a question for the lease was answered in this run
};

}  // namespace velunor
