#include "service/publication/publication_number.h"

#include <cmath>

#include "service/common/date_time.h"
#include "service/common/zusatzfunktionen.h"

namespace velunor {

namespace {
constexpr double kLargestCounter = 999999;
}

bool IsPublicationNumber(const std::string& text) {
  if (text.size() < 6 || text[4] != '-') return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (i != 4 && (text[i] < '0' || text[i] > '9')) return false;
  }
  return true;
}

std::string NextPublicationNumber(const std::string& current, int year) {
  std::string number = current;
  if (!IsPublicationNumber(number) || year > NumberValue(number.substr(0, 4))) {
    number = Pad(year, 4) + "-0";
  }
  const double counter = number.size() > 5 ? NumberValue(number.substr(5)) : 0;
  // Read as a whole number first, so that even a counter far beyond the
  // largest one is never converted to an integer.
  const double next = std::floor(counter > 0 ? counter : 0) + 1;
  const std::string text = next > kLargestCounter ? "0" : std::to_string(static_cast<long>(next));
  return number.substr(0, 5) + text;
}

}  // namespace velunor
