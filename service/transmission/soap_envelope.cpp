#include "service/transmission/soap_envelope.h"

namespace velunor {

std::string SOAPEnvelope(const std::string& body) {
  std::string text;
  text.reserve(body.size() + 160);
  text += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
  text += "<S:Envelope xmlns:S=\"";
  text += kSoapEnvelopeNamespace;
  text += "\">\r\n";
  text += "<S:Header/><S:Body>\r\n";
  text += body;
  text += "\r\n";
  text += "</S:Body></S:Envelope>";
  return text;
}

}  // namespace velunor
