// The service's procedures as the start-up sequence and the scheduler call
// them. ServiceProcedures (service_procedures.h) runs the real ones on the
// process state; scheduler tests use a recording implementation.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "service/db/acknowledgements.h"
#include "service/db/reporter_lease.h"

namespace velunor {

// The end of the client certificate chosen for the transmissions.
struct ClientCertificateEnd {
  std::string subject;
  std::int64_t not_after = 0;  // Unix time
};

class Procedures {
 public:
  virtual ~Procedures() = default;

  virtual int DB_Verbinden() = 0;  // with DbServer; 1 connected, 0 not
  // Why the last DB_Verbinden failed, as the driver said it (no password);
  // "" after a success.
  virtual std::string ConnectDiagnostic() = 0;
  virtual void DB_Trennen() = 0;
  virtual void DB_LOXStammdaten() = 0;
  virtual void XML_Init() = 0;
  virtual int DB_Stationsdaten(int mode) = 0;
  virtual void XML_Stationsdaten() = 0;
  virtual void XML_Preisdaten() = 0;
  virtual void XML_Out_Station() = 0;
  virtual void XML_Out_Preise() = 0;
  virtual void DB_Get_MTS_StationsPreise() = 0;
  virtual void AktuellePreiseZuordnen() = 0;
  virtual void DB_Preisdaten() = 0;
  virtual void DB_TransferLog(int code, const std::string& text) = 0;
  virtual void Gas_Tankstelle_Export() = 0;
  // Marks every active station as changed (the nightly refresh).
  virtual void RunNightlyRefresh() = 0;
  // The SOAP envelope of the publication last assembled.
  virtual std::string SOAPEnvelope() = 0;
  // Sends `sende_daten`, a publication of kind `sende_art` ("Stationdata" or
  // "Pricedata"), to `url`; 0 on success.
  virtual int SOAPTransaction(const std::string& sende_daten, const std::string& sende_art,
                              const std::string& url) = 0;
  virtual void KommLog(const std::string& meldung) = 0;
  // The MTS-K acknowledged the station publication last assembled: the
  // stations it carries are delivered.
  virtual void StationPublicationAcknowledged() = 0;
  // When the oldest synchronised station data still waiting for an
  // acknowledgement were synchronised (the clock's epoch seconds); nullopt
  // when none wait.
  virtual std::optional<std::int64_t> UnacknowledgedStationsSince() = 0;

  // Values the scheduler reads.
  virtual std::string StationPublicationNumber() = 0;
  virtual std::string PricePublicationNumber() = 0;
  virtual std::string UrlGrunddatenlieferung() = 0;
  virtual std::string UrlPreisdatenlieferung() = 0;
  virtual int LpgExportAktiv() = 0;
  // The certificate the store would choose for Velunor.CFG's subject;
  // nullopt when there is none (the transmission names that itself).
  virtual std::optional<ClientCertificateEnd> ClientCertificate() { return std::nullopt; }
  // Velunor.CFG's certificate subject.
  virtual std::string ClientCertificateSubject() { return ""; }
  // What the database knows of earlier acknowledgements; a stand-in knows none.
  virtual KnownAcknowledgements Acknowledgements() { return {}; }
  // How the station and price rows are written when a table keeps no
  // transactions (the slow way, station by station), once the first station
  // synchronisation has looked; "" otherwise: the usual way goes unsaid.
  virtual std::string WritePath() { return ""; }

  // The reporter lease. How long it lasts unrenewed, in seconds; 0: this
  // service keeps none and always reports (a stand-in).
  virtual int LeaseSeconds() { return 0; }
  // Takes or renews the lease for this instance; true when it holds it now,
  // false when another live instance does. Throws when the database refuses.
  virtual bool TakeReporterLease() { return true; }
  // Who holds the lease as the server sees it; nullopt when nobody has yet.
  virtual std::optional<LeaseHolder> ReporterLeaseHolder() { return std::nullopt; }
  // The next SOAPTransaction ends after `milliseconds` at most (0: after the
  // transport's own time-out): it must not outlast the lease.
  virtual void LimitNextTransmission(std::int64_t milliseconds) { (void)milliseconds; }
  // Forgets what this run loaded (master data, station table, publication
  // lines, pending stations), so that the start sequence can run again on
  // the database as another instance left it.
  virtual void ForgetRunState() {}
};

}  // namespace velunor
