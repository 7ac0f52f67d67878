// What the HTTPS transport reports while a request is under way (connection
// progress, the server certificate and its verdict, TLS status) and the
// service's handlers that write it to the communication log. The handlers
// only log: they never change the transport's verdict on the server
// certificate. Called on the sending thread, during HttpsTransport::Send.
#pragma once

#include <string>

#include "service/common/fehler_log.h"
#include "service/common/komm_log_sink.h"

namespace velunor {

class TlsEvents {
 public:
  virtual ~TlsEvents() = default;

  // Progress of the connection: `connection_event` names the step
  // ("Connecting", "Connected", "Redirected"), `description` the peer or target.
  virtual void SOAP1_ConnectionStatus(const std::string& connection_event, int status_code,
                                      const std::string& description) = 0;

  // The server's certificate (DER in `certificate_encoded`), as checked by the
  // transport: `accept` carries its verdict in and must carry it out unchanged;
  // `status` describes the problem when the verdict is a refusal.
  virtual void SOAP1_SSLServerAuthentication(const std::string& certificate_encoded,
                                             const std::string& subject, const std::string& issuer,
                                             const std::string& status, bool& accept) = 0;

  // A TLS status message (handshake result, alert from the server).
  virtual void SOAP1_SSLStatus(const std::string& message) = 0;
};

// Writes the events to the communication log. A failing log line is written
// to the error log under the handler's name, and the handler goes on.
class TlsEventLog : public TlsEvents {
 public:
  TlsEventLog(FehlerLog& log, KommLogSink& komm_log) : log_(log), komm_log_(komm_log) {}

  // "Connection: <event> <description>"; the status code is not logged.
  void SOAP1_ConnectionStatus(const std::string& connection_event, int status_code,
                              const std::string& description) override;
  // "SSL: Certificate subject: ...", "SSL: Certificate issuer: ...", and when
  // refused "SSL: The following problems have been determined for this
  // certificate:" and "SSL: <status>".
  void SOAP1_SSLServerAuthentication(const std::string& certificate_encoded,
                                     const std::string& subject, const std::string& issuer,
                                     const std::string& status, bool& accept) override;
  // "SSL: <message>".
  void SOAP1_SSLStatus(const std::string& message) override;

 private:
  FehlerLog& log_;
  KommLogSink& komm_log_;
};

}  // namespace velunor
