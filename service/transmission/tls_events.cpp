#include "service/transmission/tls_events.h"

#include "service/common/procedure.h"

namespace velunor {

void TlsEventLog::SOAP1_ConnectionStatus(const std::string& connection_event, int /*status_code*/,
                                         const std::string& description) {
  Procedure p(log_, "SOAP1_ConnectionStatus");
  p.Run([&] { komm_log_.KommLog("Connection: " + connection_event + " " + description); });
}

void TlsEventLog::SOAP1_SSLServerAuthentication(const std::string& /*certificate_encoded*/,
                                                const std::string& subject,
                                                const std::string& issuer,
                                                const std::string& status, bool& accept) {
  Procedure p(log_, "SOAP1_SSLServerAuthentication");
  p.Run([&] { komm_log_.KommLog("SSL: Certificate subject: " + subject); });
  p.Run([&] { komm_log_.KommLog("SSL: Certificate issuer: " + issuer); });
  if (!accept) {
    p.Run([&] {
      komm_log_.KommLog("SSL: The following problems have been determined for this certificate:");
    });
    p.Run([&] { komm_log_.KommLog("SSL: " + status); });
  }
}

void TlsEventLog::SOAP1_SSLStatus(const std::string& message) {
  Procedure p(log_, "SOAP1_SSLStatus");
  p.Run([&] { komm_log_.KommLog("SSL: " + message); });
}

}  // namespace velunor
