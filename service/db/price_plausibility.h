// The plausibility rule on the prices taken in: a new E5, E10 or Diesel
// price outside the band, or further than the jump from the price last
// stored, raises a price warning (price_warning.h) in the service state, one
// notice in the error log and one line in the journal. The price itself is
// stored and reported exactly as without the rule: the warning never holds
// it back or changes it.
#pragma once

#include <optional>

#include "service/common/price_warning.h"
#include "service/db/db_state.h"
#include "service/db/fuels.h"

namespace velunor {

// How long a warning stands when no plausible price of the fuel follows.
inline constexpr std::int64_t kPriceWarningSeconds = 24 * 60 * 60;

// Which rule `price` breaks, measured against `last_price` (0: none stored);
// nullopt when it keeps both. A price of 0 or less is no price and breaks none.
std::optional<PriceWarning::Rule> BrokenRule(const PlausibilityRule& rule, double price,
                                             double last_price);

// Judges the new pending `price` of `station`'s `fuel` (its stored price
// `stored`): raises, replaces or ends the station's warning for the fuel.
// While a warning stands, the jump is measured from the price before the
// unusual one, so that the corrected price ends the warning instead of
// raising another. Never throws.
void WatchPrice(DbState& state, long station, const Fuel& fuel, double price, double stored);

// Ends the warnings older than kPriceWarningSeconds.
void EndOldPriceWarnings(DbState& state);

}  // namespace velunor
