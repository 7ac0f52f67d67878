// The service's procedures as the start-up sequence and the scheduler call
// them. ServiceProcedures (service_procedures.h) runs the real ones on the
// process state; scheduler tests use a recording implementation.
#pragma once

#include <string>

namespace velunor {

class Procedures {
 public:
  virtual ~Procedures() = default;

  virtual int DB_Verbinden() = 0;  // with DbServer; 1 connected, 0 not
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
  virtual void NachtlaufAusfuehren() = 0;
  // The SOAP envelope of the publication last assembled.
  virtual std::string SOAPEnvelope() = 0;
  // Sends `sende_daten` to `url`; 0 on success.
  virtual int SOAPTransaction(const std::string& sende_daten, const std::string& url) = 0;
  virtual void KommLog(const std::string& meldung) = 0;

  // Values the scheduler reads.
  virtual std::string StationPublicationNumber() = 0;
  virtual std::string PricePublicationNumber() = 0;
  virtual std::string UrlGrunddatenlieferung() = 0;
  virtual std::string UrlPreisdatenlieferung() = 0;
  virtual int LpgExportAktiv() = 0;
};

}  // namespace velunor
