// Reading a SOAP request as the endpoint simulator stored it: which
// publication it carries, under which number, and the stations and prices
// in it, so that integration tests can say what the MTS-K received.
#pragma once

#include <map>
#include <string>

namespace velunor::testing {

struct ReceivedPublication {
  // "PetrolStationPublication" or "FuelPricePublication"; "" when the body is
  // not a publication in a SOAP envelope.
  std::string kind;
  std::string id;  // the payloadPublication's id, e.g. "P-2026-8"
  // Station publication: ps_id -> "v<version> <name>, <street> <house number>".
  std::map<std::string, std::string> stations;
  // Price publication: ps_id -> fuel ("E5", "E10", "Diesel") -> price text.
  std::map<std::string, std::map<std::string, std::string>> prices;

  // The price of `fuel` at station `ps_id`, "" when the publication has none.
  std::string Price(const std::string& ps_id, const std::string& fuel) const;
};

// Parses a stored request body. Never throws; see `kind` for a body that is
// not a publication.
ReceivedPublication ParseReceived(const std::string& soap_body);

// Why libxml2, a strict XML 1.0 parser as the MTS-K's consumers use, refuses
// `document`, with the line; "" when it is well-formed.
std::string XmlWellFormedFault(const std::string& document);

}  // namespace velunor::testing
