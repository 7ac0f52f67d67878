#include "service/db/price_plausibility.h"

#include <cmath>

namespace velunor {

namespace {

// Prices are texts with three decimals: a jump of exactly the limit is no
// jump beyond it, whatever the binary fractions make of it.
constexpr double kTolerance = 0.0005;

}  // namespace

std::optional<PriceWarning::Rule> BrokenRule(const PlausibilityRule& rule, double price,
                                             double last_price) {
  if (price <= 0) return std::nullopt;
  if (rule.jump > 0 && last_price > 0 && std::fabs(price - last_price) > rule.jump + kTolerance) {
    return PriceWarning::Rule::kJump;
  }
  if (price < rule.band_min - kTolerance || price > rule.band_max + kTolerance) {
    return PriceWarning::Rule::kBand;
  }
  return std::nullopt;
}

void PriceWatch::Judge(long station, const std::string& name, const Fuel& fuel, double price,
                       double stored) const {
  const PriceWarning* standing = warnings_.price_warning(station, fuel.key);
  const double last_price = standing != nullptr ? standing->last_price : stored;
  const std::optional<PriceWarning::Rule> broken = BrokenRule(rule_, price, last_price);
  if (!broken) {
    if (standing != nullptr && price > 0) warnings_.EndPriceWarning(station, fuel.key);
    return;
  }
  PriceWarning w;
  w.station = station;
  w.station_name = name;
  w.fuel_key = fuel.key;
  w.fuel = GridCells::FuelCaption(fuel.code);
  w.price = price;
  w.last_price = last_price;
  w.rule = *broken;
  w.band_min = rule_.band_min;
  w.band_max = rule_.band_max;
  w.raised_at = clock_.EpochSeconds();
  // A notice, not a failure: an unusual price at the start must not end it.
  log_.WriteNotice(PriceWarningText(w), "AktuellePreiseZuordnen");
  warnings_.RaisePriceWarning(w);
}

void PriceWatch::EndOldWarnings() const {
  warnings_.EndPriceWarningsBefore(clock_.EpochSeconds() - kPriceWarningSeconds);
}

}  // namespace velunor
