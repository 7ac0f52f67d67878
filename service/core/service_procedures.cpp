#include "service/core/service_procedures.h"

#include "service/common/procedure.h"
#include "service/core/scheduler_variables.h"
#include "service/db/acknowledgements.h"
#include "service/db/batch_write.h"
#include "service/db/gas_tankstelle_export.h"
#include "service/db/lox_stammdaten.h"
#include "service/db/preisdaten.h"
#include "service/db/reporter_lease.h"
#include "service/db/station_delivery.h"
#include "service/db/stationsdaten.h"
#include "service/db/stationspreise.h"
#include "service/db/verbindung.h"
#include "service/publication/xml_out.h"
#include "service/transmission/soap_envelope.h"
#include "service/transmission/soap_transaction.h"

namespace velunor {

int ServiceProcedures::DB_Verbinden() {
  // STATION.INI's values as the start read them; a reconnect uses them again.
  const StationIni& ini = s_.config.station_ini.ini;
  s_.db.DbServer = ini.DbServer;
  s_.db.DbBenutzer = ini.DbBenutzer;
  s_.db.DbPasswort = ini.DbPasswort;
  const int connected = velunor::DB_Verbinden(s_.db, s_.db.DbServer);
  if (connected == 1) {
    if (connected_before_ && operations_ != nullptr) operations_->Reconnected();
    connected_before_ = true;
  }
  return connected;
}
std::string ServiceProcedures::ConnectDiagnostic() { return s_.db.connect_diagnostic; }

std::string ServiceProcedures::WritePath() {
  const std::optional<BatchTables>& tables = s_.db.batch_tables;
  if (!tables || tables->without_transactions.empty()) return "";
  return WritePathText(*tables);
}
void ServiceProcedures::DB_Trennen() { velunor::DB_Trennen(s_.db); }
void ServiceProcedures::DB_LOXStammdaten() {
  // Read at every load: an operator may have saved another with Kestrin
  // since, for the next start or takeover.
  LoadConfigurationFile(s_.env.files, s_.config, ConfigurationFile::kSettingsFile);
  velunor::DB_LOXStammdaten(s_.db, s_.config.settings_file);
}
void ServiceProcedures::XML_Init() { velunor::XML_Init(s_.pub, s_.db); }
int ServiceProcedures::DB_Stationsdaten(int mode) { return velunor::DB_Stationsdaten(s_.db, mode); }
void ServiceProcedures::XML_Stationsdaten() { velunor::XML_Stationsdaten(s_.pub, s_.db); }
void ServiceProcedures::XML_Preisdaten() { velunor::XML_Preisdaten(s_.pub, s_.db); }

void ServiceProcedures::XML_Out_Station() {
  velunor::XML_Out_Station(s_.pub, s_.db);
  StationPublicationAssembled(s_.db);
}

void ServiceProcedures::XML_Out_Preise() { velunor::XML_Out_Preise(s_.pub, s_.db); }

void ServiceProcedures::DB_Get_MTS_StationsPreise() { velunor::DB_Get_MTS_StationsPreise(s_.db); }
void ServiceProcedures::AktuellePreiseZuordnen() { velunor::AktuellePreiseZuordnen(s_.db); }
void ServiceProcedures::DB_Preisdaten() { velunor::DB_Preisdaten(s_.db); }

void ServiceProcedures::DB_TransferLog(int code, const std::string& text) {
  velunor::DB_TransferLog(s_.db, code, text);
}

void ServiceProcedures::Gas_Tankstelle_Export() { velunor::Gas_Tankstelle_Export(s_.db); }

void ServiceProcedures::RunNightlyRefresh() {
  s_.db.db().Execute("update lox_station_mts set status = 2 where ps_aktiv = 1");
}

std::string ServiceProcedures::SOAPEnvelope() {
  return velunor::SOAPEnvelope(s_.pub.PublicationXml);
}

int ServiceProcedures::SOAPTransaction(const std::string& sende_daten, const std::string& sende_art,
                                       const std::string& url) {
  Transmission transmission{sende_daten, sende_art, url, s_.db.settings.VerwendetesZertifikat};
  transmission.time_limit = std::chrono::milliseconds(transmission_limit_ms_);
  transmission_limit_ms_ = 0;
  TransmissionOutcome outcome;
  const int result =
      velunor::SOAPTransaction(transmission, s_.env, s_.komm_log, transport_, &outcome);
  const bool station = sende_art == kStationData;
  const std::string number = station ? StationPublicationNumber() : PricePublicationNumber();
  if (outcome.result == TransmissionOutcome::Result::kAcknowledged) {
    // The five minutes run from here, also for the next start or machine.
    Procedure p(s_.env.log, "Haupt_Timer_Timer");
    p.Run([&] { RecordAcknowledgement(s_.db, !station, number); });
  }
  if (operations_ != nullptr) {
    operations_->TransmissionDone(transmission,
                                  station ? PublicationKind::kStation : PublicationKind::kPrice,
                                  number, outcome);
  }
  return result;
}

void ServiceProcedures::KommLog(const std::string& meldung) { s_.komm_log.KommLog(meldung); }

void ServiceProcedures::StationPublicationAcknowledged() {
  velunor::StationPublicationAcknowledged(s_.db, "Haupt_Timer_Timer");
}

std::optional<std::int64_t> ServiceProcedures::UnacknowledgedStationsSince() {
  return s_.db.delivery.since;
}

std::string ServiceProcedures::StationPublicationNumber() {
  return s_.db.stammdaten.StationPublicationNumber;
}
std::string ServiceProcedures::PricePublicationNumber() {
  return s_.db.stammdaten.PricePublicationNumber;
}
std::string ServiceProcedures::UrlGrunddatenlieferung() {
  return s_.db.settings.UrlGrunddatenlieferung;
}
std::string ServiceProcedures::UrlPreisdatenlieferung() {
  return s_.db.settings.UrlPreisdatenlieferung;
}
int ServiceProcedures::LpgExportAktiv() { return s_.db.stammdaten.LpgExportAktiv; }

std::string ServiceProcedures::ClientCertificateSubject() {
  return s_.db.settings.VerwendetesZertifikat;
}

bool ServiceProcedures::TakeReporterLease() {
  if (!lease_prepared_) {
    PrepareLease(s_.db);
    lease_prepared_ = true;
  }
  return TakeLease(s_.db, lease_.instance_name, lease_.token, lease_.seconds);
}

std::optional<LeaseHolder> ServiceProcedures::ReporterLeaseHolder() {
  return ReadLeaseHolder(s_.db);
}

void ServiceProcedures::ForgetRunState() {
  DbState& db = s_.db;
  db.stammdaten = MasterData();
  db.stations = StationTable();
  db.published = StationPublicationIndex();
  db.current_prices = CurrentPrices();
  db.LetzteStationsanzahl = 0;
  db.delivery = StationDelivery();
  s_.pub = PublicationState();
}

KnownAcknowledgements ServiceProcedures::Acknowledgements() { return ReadAcknowledgements(s_.db); }

std::optional<ClientCertificateEnd> ServiceProcedures::ClientCertificate() {
  const std::string& subject = s_.db.settings.VerwendetesZertifikat;
  const auto chosen = s_.certs.Choose(kClientCertificateStore, subject);
  // Without its key a certificate cannot sign the handshake.
  if (!chosen || !chosen->has_private_key) return std::nullopt;
  return ClientCertificateEnd{subject, static_cast<std::int64_t>(chosen->details.not_after)};
}

}  // namespace velunor
