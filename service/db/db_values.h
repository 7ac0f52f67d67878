// Reading database values the way the procedures need them: a NULL where a
// value is required is a failure of the step; numbers are read leniently
// from the text, as the upstream columns may hold "1,5" or " 12".
#pragma once

#include <string>

#include "service/common/failure.h"
#include "service/common/text.h"
#include "service/common/zusatzfunktionen.h"
#include "service/db/odbc.h"

namespace velunor {

inline constexpr int32_t kErrInvalidUseOfNull = 94;

inline const std::string& Required(const DbValue& v) {
  if (!v) throw Failure(kErrInvalidUseOfNull, "Unzulässige Verwendung von Null");
  return *v;
}

// The numeric value of a column, truncated to a whole number.
inline long DbLong(const DbValue& v) { return static_cast<long>(NumberValue(Required(v))); }

}  // namespace velunor
