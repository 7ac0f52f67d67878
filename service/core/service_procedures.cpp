#include "service/core/service_procedures.h"

#include <chrono>

#include "service/common/procedure.h"
#include "service/core/scheduler_variables.h"
#include "service/db/batch_write.h"
#include "service/db/db_hand_ins.h"
#include "service/transmission/soap_transaction.h"

namespace velunor {

Status ServiceProcedures::DB_Verbinden() {
  // STATION.INI's values as the start read them; a reconnect uses them again.
  const StationIni& ini = s_.config.station_ini;
  s_.db.DbServer = ini.DbServer;
  s_.db.DbBenutzer = ini.DbBenutzer;
  s_.db.DbPasswort = ini.DbPasswort;
  const Status connected = velunor::DB_Verbinden(s_.db, s_.db.DbServer);
  if (!connected.ok()) return connected;
  // A new connection: the step that was under way is the server's to roll back.
  s_.db.in_step = false;
  if (connected_before_ && operations_ != nullptr) operations_->Reconnected();
  connected_before_ = true;
  return Status();
}

std::string ServiceProcedures::WritePath() {
  const std::optional<BatchTables>& tables = s_.db.batch_tables;
  if (!tables || tables->without_transactions.empty()) return "";
  return WritePathText(*tables);
}

Status ServiceProcedures::RunNightlyRefresh() {
  return StatusOf(
      [&] { s_.db.db().Execute("update lox_station_mts set status = 2 where ps_aktiv = 1"); });
}

Status ServiceProcedures::DB_LOXStammdaten() {
  return Logged([&] {
    // Read at every load: an operator may have saved another with Kestrin
    // since, for the next start or takeover.
    LoadConfigurationFile(s_.env.files, s_.config, ConfigurationFile::kSettingsFile);
    velunor::DB_LOXStammdaten(s_.db, s_.config.settings_file);
  });
}

Status ServiceProcedures::XML_Out_Station() {
  return Logged([&] {
    velunor::XML_Out_Station(s_.pub, s_.db);
    StationPublicationAssembled(s_.db);
  });
}

Status ServiceProcedures::SOAPTransaction(const std::string& sende_daten,
                                          const std::string& sende_art, const std::string& url,
                                          std::int64_t limit_ms) {
  Transmission transmission{sende_daten, sende_art, url, s_.db.settings.VerwendetesZertifikat};
  // The lease's time runs from here, where the scheduler measured it, not
  // from the send.
  if (limit_ms > 0) {
    transmission.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
  }
  TransmissionOutcome outcome;
  const Status sent =
      velunor::SOAPTransaction(transmission, s_.env, s_.komm_log, transport_, &outcome);
  if (!outcome.moved_to.empty()) TellMovedEndpoint(url, outcome.moved_to);
  const bool station = sende_art == kStationData;
  const std::string number = station ? StationPublicationNumber() : PricePublicationNumber();
  if (outcome.result == TransmissionOutcome::Result::kAcknowledged) {
    // The five minutes run from here, also for the next start or machine.
    Procedure p(s_.env.log, "Haupt_Timer_Timer");
    p.Run([&] { RecordAcknowledgement(s_.db.db(), !station, number); });
  }
  if (operations_ != nullptr) {
    operations_->TransmissionDone(transmission,
                                  station ? PublicationKind::kStation : PublicationKind::kPrice,
                                  number, outcome);
  }
  return sent;
}

// Every transmission goes on reaching the new address, so the operator
// hears of it once a day rather than with every publication.
void ServiceProcedures::TellMovedEndpoint(const std::string& url, const std::string& moved_to) {
  constexpr std::int64_t kDay = 24 * 60 * 60;
  const std::int64_t now = s_.env.clock.EpochSeconds();
  const auto told = moved_told_.find(url + "\n" + moved_to);
  if (told != moved_told_.end() && now >= told->second && now < told->second + kDay) return;
  moved_told_[url + "\n" + moved_to] = now;
  s_.env.log.WriteNotice(MovedEndpointText(url, moved_to), "SOAPTransaction");
}

Status ServiceProcedures::StationPublicationAcknowledged() {
  return Logged([&] { velunor::StationPublicationAcknowledged(s_.db, "Haupt_Timer_Timer"); });
}

Status ServiceProcedures::TakeReporterLease(LeaseAnswer* answer) {
  *answer = LeaseAnswer::kHeldByOther;
  return StatusOf([&] {
    try {
      if (!lease_prepared_) {
        PrepareLease(s_.db.db());
        lease_prepared_ = true;
      }
      // The first answer of a run may take this instance's own lease back
      // from its earlier process at once.
      *answer = TakeLease(s_.db.db(), claim_, !lease_answered_);
      lease_answered_ = true;
    } catch (const DbError& e) {
      // A table dropped by hand is made again at the next question.
      if (e.native() == kErrNoSuchTable) lease_prepared_ = false;
      throw;
    }
  });
}

Status ServiceProcedures::ConfirmReporterLease(bool* held) {
  *held = false;
  return StatusOf([&] { *held = ConfirmLease(s_.db.db(), claim_); });
}

Status ServiceProcedures::BeginLeasedStep(bool* held) {
  *held = false;
  const Status begun = StatusOf([&] {
    // Not "start transaction": a deadlock rolls the transaction back, and
    // the step's statements after it would then each commit unfenced.
    s_.db.db().Execute("set autocommit = 0");
    s_.db.in_step = true;
    *held = ConfirmLease(s_.db.db(), claim_);
  });
  if (!begun.ok() || !*held) AbandonLeasedStep();
  return begun;
}

Status ServiceProcedures::EndLeasedStep(bool* held) {
  *held = !s_.db.in_step;  // nothing left to commit
  if (!s_.db.in_step) return Status();
  const Status ended = StatusOf([&] {
    // Once more at the end: whatever rolled back in between (a deadlock)
    // left the step's later statements outside the first confirmation.
    *held = ConfirmLease(s_.db.db(), claim_);
    if (!*held) return;
    Connection& db = s_.db.db();
    db.Execute("commit");
    s_.db.in_step = false;
    db.Execute("set autocommit = 1");
  });
  if (s_.db.in_step) AbandonLeasedStep();
  return ended;
}

void ServiceProcedures::AbandonLeasedStep() {
  if (!s_.db.in_step) return;
  s_.db.in_step = false;
  // The server rolls back on its own when the connection is gone.
  if (!s_.db.DbVerbindung || s_.db.DbVerbindung->broken()) return;
  try {
    s_.db.DbVerbindung->Execute("rollback");
    s_.db.DbVerbindung->Execute("set autocommit = 1");
  } catch (const std::exception&) {
    // Lost while rolling back: the next statement finds it.
  }
}

Status ServiceProcedures::ReleaseReporterLease() {
  if (claim_.seconds <= 0 || !s_.db.DbVerbindung || s_.db.DbVerbindung->broken()) return Status();
  return Logged([&] {
    Procedure p(s_.env.log, "Form_Unload");
    p.Run([&] { ReleaseLease(s_.db.db(), claim_); });
  });
}

void ServiceProcedures::ForgetRunState() {
  DbState& db = s_.db;
  db.stammdaten = MasterData();
  db.stations.Clear();
  db.published = StationPublicationIndex();
  db.current_prices = CurrentPrices();
  db.LetzteStationsanzahl = 0;
  db.delivery = StationDelivery();
  s_.pub = PublicationState();
}

std::optional<ClientCertificateEnd> ServiceProcedures::ClientCertificate() {
  const std::string& subject = s_.db.settings.VerwendetesZertifikat;
  const auto chosen = s_.certs.Choose(kClientCertificateStore, subject);
  // Without its key a certificate cannot sign the handshake.
  if (!chosen || !chosen->has_private_key) return std::nullopt;
  return ClientCertificateEnd{subject, static_cast<std::int64_t>(chosen->details.not_after)};
}

}  // namespace velunor
