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

const std::array<Fuel, 3> kFuels = {{
    {&StationEntry::productE5, &StationEntry::priceE5, &StationEntry::priceTimeE5,
     &StationEntry::newPriceE5, &StationEntry::newPriceTimeE5, "ps_pricee5", "ps_pricee5_time", 2},
    {&StationEntry::productE10, &StationEntry::priceE10, &StationEntry::priceTimeE10,
     &StationEntry::newPriceE10, &StationEntry::newPriceTimeE10, "ps_pricee10",
     "ps_pricee10_time", 3},
    {&StationEntry::productDiesel, &StationEntry::priceDiesel, &StationEntry::priceTimeDiesel,
     &StationEntry::newPriceDiesel, &StationEntry::newPriceTimeDiesel, "ps_pricediesel",
     "ps_pricediesel_time", 4},
}};

StationEntry& StationTable::operator[](long station) {
  if (!InRange(station)) {
    throw Failure(kErrSubscriptOutOfRange,
                  "Station " + std::to_string(station) + " liegt außerhalb von 0 bis 1000");
  }
  return entries_[static_cast<size_t>(station)];
}

}  // namespace velunor
