#include "service/db/station_table.h"

#include "service/common/zusatzfunktionen.h"
#include "service/db/db_values.h"

namespace velunor {

template <size_t N>
std::string FixedText<N>::Trimmed() const {
  return Trim(text_);
}

template <size_t N>
double FixedText<N>::Number() const {
  return NumberValue(text_);
}

template class FixedText<6>;
template class FixedText<25>;

StationEntry& StationTable::operator[](long station) {
  if (!InRange(station)) {
    throw Failure(kErrSubscriptOutOfRange,
                  "Station " + std::to_string(station) + " liegt außerhalb von 0 bis 1000");
  }
  return entries_[static_cast<size_t>(station)];
}

}  // namespace velunor
