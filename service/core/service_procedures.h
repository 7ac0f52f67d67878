// The real procedures of the service on its process state, in the roles the
// start-up sequence and the scheduler call them: most are the real procedure
// called on the state in one line. Each follows its own failure handling;
// nothing here adds any, only the results the scheduler acts on become a
// Status.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "service/core/instance_token.h"
#include "service/core/procedures.h"
#include "service/core/velunor_state.h"
#include "service/db/acknowledgements.h"
#include "service/db/gas_tankstelle_export.h"
#include "service/db/lox_stammdaten.h"
#include "service/db/preisdaten.h"
#include "service/db/reporter_lease.h"
#include "service/db/stationsdaten.h"
#include "service/db/stationspreise.h"
#include "service/db/verbindung.h"
#include "service/publication/xml_out.h"
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
  ServiceProcedures(VelunorState& state, HttpsTransport& transport,
                    Operations* operations = nullptr, LeaseSettings lease = LeaseSettings())
      : s_(state), transport_(transport), operations_(operations) {
    claim_ = {std::move(lease.instance_name), std::move(lease.token), RandomNonce(), lease.seconds};
    if (claim_.seconds > 0) s_.db.lease = claim_;
  }

  // DatabaseProcedures.
  Status DB_Verbinden() override;
  void DB_Trennen() override { velunor::DB_Trennen(s_.db); }
  void DB_LOXStammdaten() override;
  int DB_Stationsdaten(int mode) override { return velunor::DB_Stationsdaten(s_.db, mode); }
  void DB_Get_MTS_StationsPreise() override { velunor::DB_Get_MTS_StationsPreise(s_.db); }
  void AktuellePreiseZuordnen() override { velunor::AktuellePreiseZuordnen(s_.db); }
  void DB_Preisdaten() override { velunor::DB_Preisdaten(s_.db); }
  void Gas_Tankstelle_Export() override { velunor::Gas_Tankstelle_Export(s_.db); }
  void RunNightlyRefresh() override;
  std::string WritePath() override;

  // PublicationProcedures.
  void XML_Init() override { velunor::XML_Init(s_.pub, s_.db); }
  void XML_Stationsdaten() override { velunor::XML_Stationsdaten(s_.pub, s_.db); }
  void XML_Preisdaten() override { velunor::XML_Preisdaten(s_.pub, s_.db); }
  void XML_Out_Station() override;
  void XML_Out_Preise() override { velunor::XML_Out_Preise(s_.pub, s_.db); }
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
  void DB_TransferLog(int code, const std::string& text) override {
    velunor::DB_TransferLog(s_.db, code, text);
  }
  void StationPublicationAcknowledged() override;
  std::optional<std::int64_t> UnacknowledgedStationsSince() override {
    return s_.db.delivery.since;
  }
  KnownAcknowledgements Acknowledgements() override { return ReadAcknowledgements(s_.db); }

  // LeaseProcedures.
  int LeaseSeconds() override { return claim_.seconds; }
  Status TakeReporterLease(LeaseAnswer* answer) override;
  std::optional<LeaseHolder> ReporterLeaseHolder() override { return ReadLeaseHolder(s_.db); }
  Status ConfirmReporterLease(bool* held) override;
  Status BeginLeasedStep(bool* held) override;
  Status EndLeasedStep(bool* held) override;
  void AbandonLeasedStep() override;
  void ReleaseReporterLease() override;
  void ForgetRunState() override;

  // ConfigurationQueries.
  std::string UrlGrunddatenlieferung() override { return s_.db.settings.UrlGrunddatenlieferung; }
  std::string UrlPreisdatenlieferung() override { return s_.db.settings.UrlPreisdatenlieferung; }
  int LpgExportAktiv() override { return s_.db.stammdaten.LpgExportAktiv; }
  std::optional<ClientCertificateEnd> ClientCertificate() override;
  std::string ClientCertificateSubject() override { return s_.db.settings.VerwendetesZertifikat; }

 private:
  // Writes MovedEndpointText to the error log, once a day for each move.
  void TellMovedEndpoint(const std::string& url, const std::string& moved_to);

  VelunorState& s_;
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
