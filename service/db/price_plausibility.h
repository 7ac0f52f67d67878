// The plausibility rule on the prices taken in: a new E5, E10 or Diesel
// price outside the band, or further than the jump from the price last
// stored, raises a price warning (price_warning.h) in the service state, one
// notice in the error log and one line in the journal. The price itself is
// stored and reported exactly as without the rule: the warning never holds
// it back or changes it.
#pragma once

#include <optional>
#include <string>

#include "service/common/clock.h"
#include "service/common/fehler_log.h"
#include "service/common/price_warning.h"
#include "service/common/service_state.h"
#include "service/db/fuels.h"

namespace velunor {

// How long a warning stands when no plausible price of the fuel follows.
inline constexpr std::int64_t kPriceWarningSeconds = 24 * 60 * 60;

// Which rule `price` breaks, measured against `last_price` (0: none stored);
// nullopt when it keeps both. A price of 0 or less is no price and breaks none.
std::optional<PriceWarning::Rule> BrokenRule(const PlausibilityRule& rule, double price,
                                             double last_price);

// Judges new prices by `rule` and keeps the warnings in `warnings`; each
// warning raised is told to `log` as a notice. All four must outlive it.
class PriceWatch {
 public:
  PriceWatch(const PlausibilityRule& rule, const Clock& clock, FehlerLog& log,
             ServiceState& warnings)
      : rule_(rule), clock_(clock), log_(log), warnings_(warnings) {}

  // Judges the new pending `price` of the station `station` (named `name`)
  // for `fuel`, whose stored price is `stored`: raises, replaces or ends the
  // station's warning for the fuel. While a warning stands, the jump is
  // measured from the price before the unusual one, so that the corrected
  // price ends the warning instead of raising another. Never throws.
  void Judge(long station, const std::string& name, const Fuel& fuel, double price,
             double stored) const;

  // Ends the warnings older than kPriceWarningSeconds.
  void EndOldWarnings() const;

 private:
  const PlausibilityRule& rule_;
  const Clock& clock_;
  FehlerLog& log_;
  ServiceState& warnings_;
};

}  // namespace velunor
