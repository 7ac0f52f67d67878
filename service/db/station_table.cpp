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

}  // namespace velunor
