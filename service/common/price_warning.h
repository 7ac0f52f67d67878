// A price taken in that lies outside what the operator expects: the fact the
// intake records, and the one text every view, the error log and the journal
// show for it. The price is reported all the same; the warning only makes a
// likely typing error upstream visible within a minute.
#pragma once

#include <cstdint>
#include <string>

namespace velunor {

// What the plausibility rule watches; a jump of 0 switches the jump rule off.
struct PlausibilityRule {
  double band_min = 0.500;  // €/l
  double band_max = 3.500;
  double jump = 0.300;  // € from the price last stored
};

struct PriceWarning {
  enum class Rule { kJump, kBand };
  long station = 0;
  std::string station_name;
  std::string fuel_key;   // "e5", "e10", "diesel": the metrics' label
  std::string fuel;       // as the station grid names it ("Diesel", "Super E5")
  double price = 0;       // the price taken in and reported
  double last_price = 0;  // the price the jump is measured from (kJump)
  Rule rule = Rule::kJump;
  double band_min = 0;  // the band in force (kBand)
  double band_max = 0;
  std::int64_t raised_at = 0;  // Unix time
};

// "Preis Diesel 0.169 an Station 1 (Tankstelle Mitte) ungewöhnlich: 1.520 €
// unter dem letzten Preis 1.689; gemeldet", or "... ungewöhnlich: außerhalb
// von 0.500 bis 3.500 €; gemeldet".
std::string PriceWarningText(const PriceWarning& warning);

}  // namespace velunor
