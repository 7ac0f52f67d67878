#include "service/transmission/soap_envelope.h"

namespace velunor {

std::string SOAPEnvelope(std::string body) {
  std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
  head += "<S:Envelope xmlns:S=\"";
  head += kSoapEnvelopeNamespace;
  head += "\">\r\n";
  head += "<S:Header/><S:Body>\r\n";
  body.insert(0, head);
  body += "\r\n";
  body += "</S:Body></S:Envelope>";
  return body;
}

}  // namespace velunor
