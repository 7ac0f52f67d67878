// The texts of Kestrin's details field `tInfo`: the ten detail lines of a
// certificate, whose labels carry their own blanks so that the values line
// up in a fixed-pitch font, and the lines that name what could not be read.
// Every line ends with CR LF. Pure functions.
#pragma once

#include <string>
#include <utility>

#include "shared/cert_store.h"

namespace velunor {

// Issuer, subject, version, serial number, signature algorithm, validity
// (local time), key algorithm and length, then "Public Key:" with the key
// itself on the line after it.
std::string DetailText(const CertificateDetails& details);

// `what` is "path: reason" as the store reports it.
std::string UnreadableStoreLine(const std::string& what);
// The file and why; one this account may not open is named in German with
// the commands that give it to the account (`account`: its name, `group`:
// its group).
std::string UnreadableFileLine(const UnreadableFile& file);
std::string UnreadableFileText(const UnreadableFile& file, const std::string& account,
                               const std::string& group);
// The name and group of the account this process runs as ("" when unknown).
std::pair<std::string, std::string> ProcessAccount();

}  // namespace velunor
