// The station's master data in the form the MTS-K wants it: street and house
// number apart, postcode and place apart, the federal state's public-holiday
// identifier. Pure text functions on UTF-8; they never fail.
#pragma once

#include <array>
#include <string>

#include "service/db/odbc.h"

namespace velunor {

struct StreetParts {
  std::string street;
  std::string housenumber;
};

// The house number starts at the first digit; both parts without surrounding
// blanks. Without a digit the street is the whole text, unchanged.
StreetParts SplitStreet(const std::string& street);

struct PlaceParts {
  std::string postcode;
  std::string place;
};

// The postcode is the first five characters, the place the rest without
// surrounding blanks (with or without a blank between them).
PlaceParts SplitPlzOrt(const std::string& plzort);

// The identifier of federal state 1..16; empty for NULL, an empty text or any
// other number.
std::string FederalStateIdentifier(const DbValue& bundesland_id,
                                   const std::array<std::string, 17>& identifiers);

}  // namespace velunor
