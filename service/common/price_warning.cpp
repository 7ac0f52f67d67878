#include "service/common/price_warning.h"

#include <cmath>
#include <cstdio>

namespace velunor {

namespace {

std::string Euro(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", value);
  return text;
}

}  // namespace

std::string PriceWarningText(const PriceWarning& w) {
  std::string text =
      "Preis " + w.fuel + " " + Euro(w.price) + " an Station " + std::to_string(w.station) +
      (w.station_name.empty() ? "" : " (" + w.station_name + ")") + " ungewöhnlich: ";
  if (w.rule == PriceWarning::Rule::kJump) {
    text += Euro(std::fabs(w.price - w.last_price)) + " € " +
            (w.price < w.last_price ? "unter" : "über") + " dem letzten Preis " +
            Euro(w.last_price);
  } else {
    text += "außerhalb von " + Euro(w.band_min) + " bis " + Euro(w.band_max) + " €";
  }
  return text + "; gemeldet";
}

}  // namespace velunor
