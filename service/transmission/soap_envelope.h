// The SOAP 1.1 envelope around a publication. The text is sent byte for byte
// as composed here, so its line ends (CR LF) and the missing line end after
// the closing tag are part of the contract with the MTS-K.
#pragma once

#include <string>

namespace velunor {

inline constexpr const char* kSoapEnvelopeNamespace = "http://schemas.xmlsoap.org/soap/envelope/";

// Wraps `body` (a publication, itself ending with CR LF) unchanged into the
// envelope; a body moved in becomes the envelope without a copy. Pure; does
// not fail.
std::string SOAPEnvelope(std::string body);

}  // namespace velunor
