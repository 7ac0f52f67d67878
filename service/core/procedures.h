// The service's procedures as the start-up sequence and the scheduler call
// them, in five roles: the database, the publication assembly, the
// transmission, the reporter lease and the configuration. ServiceProcedures
// (service_procedures.h) runs the real ones on the process state; scheduler
// tests use a recording implementation. Every method that can fail returns
// a Status: the failures the procedure wrote to the error log (the first,
// or the lost connection), or, where the procedure leaves that to its
// caller, the failure itself, which the scheduler then logs. Only what
// cannot fail (values held in memory, an abandon) returns its value.
#pragma once

#include <concepts>
#include <cstdint>
#include <optional>
#include <string>

#include "service/common/komm_log_sink.h"
#include "service/common/status.h"
#include "service/db/acknowledgements.h"
#include "service/db/reporter_lease.h"

namespace velunor {

// The connection, the master and station data, the price rows.
class DatabaseProcedures {
 public:
  virtual ~DatabaseProcedures() = default;

  // Connects with DbServer. Not ok: why, as the driver said it (no
  // password, "" when it said nothing); no error-log entry is written.
  virtual Status DB_Verbinden() = 0;
  virtual Status DB_Trennen() = 0;
  virtual Status DB_LOXStammdaten() = 0;
  // `changed`: how many stations the synchronisation found changed.
  virtual Status DB_Stationsdaten(int mode, int* changed) = 0;
  virtual Status DB_Get_MTS_StationsPreise() = 0;
  virtual Status AktuellePreiseZuordnen() = 0;
  virtual Status DB_Preisdaten() = 0;
  virtual Status Gas_Tankstelle_Export() = 0;
  // Marks every active station as changed (the nightly refresh). Logs
  // nothing: the caller logs a failure under its own name.
  virtual Status RunNightlyRefresh() = 0;
  // How the station and price rows are written when a table keeps no
  // transactions (the slow way, station by station), once the first station
  // synchronisation has looked; "" otherwise: the usual way goes unsaid.
  virtual std::string WritePath() { return ""; }
};

// The output lines and the publications built from them.
class PublicationProcedures {
 public:
  virtual ~PublicationProcedures() = default;

  virtual Status XML_Init() = 0;
  virtual Status XML_Stationsdaten() = 0;
  virtual Status XML_Preisdaten() = 0;
  virtual Status XML_Out_Station() = 0;
  virtual Status XML_Out_Preise() = 0;
  // The SOAP envelope of the publication last assembled.
  virtual std::string SOAPEnvelope() = 0;
  virtual std::string StationPublicationNumber() = 0;
  virtual std::string PricePublicationNumber() = 0;
};

// Sending a publication and what its acknowledgement leaves behind.
class TransmissionProcedures {
 public:
  virtual ~TransmissionProcedures() = default;

  // Sends `sende_daten`, a publication of kind `sende_art` ("Stationdata" or
  // "Pricedata"), to `url`, for `limit_ms` at most counted from this call,
  // whatever comes before the send (0: the transport's own time-out). Ok when
  // the MTS-K acknowledged it; otherwise kErrPublicationRefused or
  // kErrTransmissionFailed and why (the communication log has the details).
  virtual Status SOAPTransaction(const std::string& sende_daten, const std::string& sende_art,
                                 const std::string& url, std::int64_t limit_ms) = 0;
  virtual Status DB_TransferLog(int code, const std::string& text) = 0;
  // The MTS-K acknowledged the station publication last assembled: the
  // stations it carries are delivered.
  virtual Status StationPublicationAcknowledged() = 0;
  // When the oldest synchronised station data still waiting for an
  // acknowledgement were synchronised (the clock's epoch seconds); nullopt
  // when none wait.
  virtual std::optional<std::int64_t> UnacknowledgedStationsSince() = 0;
  // What the database knows of earlier acknowledgements; a stand-in knows
  // none. Logs nothing: the caller logs a failure under its own name.
  virtual Status Acknowledgements(KnownAcknowledgements* known) {
    *known = {};
    return Status();
  }
};

// The reporter lease: who of several instances reports, and the fence
// around every step of the one that does.
class LeaseProcedures {
 public:
  virtual ~LeaseProcedures() = default;

  // How long the lease lasts unrenewed, in seconds; 0: this service keeps
  // none and always reports (a stand-in).
  virtual int LeaseSeconds() { return 0; }
  // Takes or renews the lease for this process; `answer` tells whether it
  // holds it now. Not ok when the database refused, with its number and
  // text; `answer` is kHeldByOther then.
  virtual Status TakeReporterLease(LeaseAnswer* answer) {
    *answer = LeaseAnswer::kHeld;
    return Status();
  }
  // Who holds the lease as the server sees it; nullopt when nobody has yet.
  // Logs nothing: the caller logs a failure under its own name.
  virtual Status ReporterLeaseHolder(std::optional<LeaseHolder>* holder) {
    *holder = std::nullopt;
    return Status();
  }
  // Confirms (and renews) the lease, committed at once: before a
  // transmission, which must end within the lease from here.
  virtual Status ConfirmReporterLease(bool* held) {
    *held = true;
    return Status();
  }
  // A step of the reporter as one transaction: it begins by confirming the
  // lease and commits only when the lease is still this process's at its
  // end; otherwise (`held` false, or not ok) it is rolled back whole.
  virtual Status BeginLeasedStep(bool* held) {
    *held = true;
    return Status();
  }
  virtual Status EndLeasedStep(bool* held) {
    *held = true;
    return Status();
  }
  // Rolls the step under way back without a word: the connection is lost
  // (logged by the step already) or the step is abandoned.
  virtual void AbandonLeasedStep() {}
  // Lets the lease run out at once, at a normal end, when this process holds it.
  virtual Status ReleaseReporterLease() { return Status(); }
  // Forgets what this run loaded (master data, station table, publication
  // lines, pending stations), so that the start sequence can run again on
  // the database as another instance left it.
  virtual void ForgetRunState() {}
};

// The end of the client certificate chosen for the transmissions.
struct ClientCertificateEnd {
  std::string subject;
  std::int64_t not_after = 0;  // Unix time
};

// Values of the settings, the master data and the certificate store.
class ConfigurationQueries {
 public:
  virtual ~ConfigurationQueries() = default;

  virtual std::string UrlGrunddatenlieferung() = 0;
  virtual std::string UrlPreisdatenlieferung() = 0;
  virtual int LpgExportAktiv() = 0;
  // The certificate the store would choose for Velunor.CFG's subject;
  // nullopt when there is none (the transmission names that itself).
  virtual std::optional<ClientCertificateEnd> ClientCertificate() { return std::nullopt; }
  // Velunor.CFG's certificate subject.
  virtual std::string ClientCertificateSubject() { return ""; }
};

// The five roles as the scheduler holds them, and the communication log it
// clears before each transmission: one object that plays the roles
// (ServiceProcedures, a recording fake) and the log (the process state's, or
// the fake again). Both must outlive the scheduler.
struct Procedures {
  template <std::derived_from<DatabaseProcedures> All>
  Procedures(All& all, KommLogSink& communication_log)
      : db(all),
        publication(all),
        transmission(all),
        lease(all),
        configuration(all),
        komm_log(communication_log) {}
  // A fake that plays every part is handed in as it is.
  template <std::derived_from<KommLogSink> All>
  Procedures(All& all)  // NOLINT(google-explicit-constructor)
      : Procedures(all, all) {}

  DatabaseProcedures& db;
  PublicationProcedures& publication;
  TransmissionProcedures& transmission;
  LeaseProcedures& lease;
  ConfigurationQueries& configuration;
  KommLogSink& komm_log;
};

}  // namespace velunor
