#include "service/db/station_address.h"

#include "service/common/zusatzfunktionen.h"
#include "service/db/db_values.h"

namespace velunor {

StreetParts SplitStreet(const std::string& street) {
  // A UTF-8 continuation byte is never an ASCII digit, so a byte scan is safe.
  const size_t digit = street.find_first_of("0123456789");
  if (digit == std::string::npos) return {street, ""};
  return {Trim(street.substr(0, digit)), Trim(street.substr(digit))};
}

PlaceParts SplitPlzOrt(const std::string& plzort) {
  // Count characters, not bytes, so that no letter is cut in two.
  size_t end = 0;
  for (int characters = 0; characters < 5 && end < plzort.size(); ++characters) {
    ++end;
    while (end < plzort.size() && (static_cast<unsigned char>(plzort[end]) & 0xC0) == 0x80) ++end;
  }
  return {plzort.substr(0, end), Trim(plzort.substr(end))};
}

std::string FederalStateIdentifier(const DbValue& bundesland_id,
                                   const std::array<std::string, 17>& identifiers) {
  const double n = NumberValue(bundesland_id.value_or(""));
  if (n < 1 || n > 16) return "";
  return identifiers[static_cast<size_t>(n)];
}

}  // namespace velunor
