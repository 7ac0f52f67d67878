// The texts of Kestrin's details field `tInfo`: the ten detail lines of a
// certificate, whose labels carry their own blanks so that the values line
// up in a fixed-pitch font, and the lines that name what could not be read.
// Every line ends with CR LF. Pure functions.
#pragma once

#include <string>

#include "shared/cert_store.h"

namespace velunor {

// Issuer, subject, version, serial number, signature algorithm, validity
// (local time), key algorithm and length, then "Public Key:" with the key
// itself on the line after it.
std::string DetailText(const CertificateDetails& details);

// `what` is "path: reason" as the store reports it.
std::string UnreadableStoreLine(const std::string& what);
std::string UnreadableFileLine(const std::string& what);

}  // namespace velunor
