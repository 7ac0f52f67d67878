// The fuels the service knows, described once. kFuelCodes: every fuel code of
// the head-office product list (stammdaten id 132) with the central product
// value it sets and the product list it enters (the grid shows code c in
// column c + 1). kFuels: the three MTS-K fuels in publication order, with the
// station entry's fields, the price record's columns and the price
// publication's element. Every other list of fuels (the grid captions) is
// checked against these at compile time, so a new fuel is added here and the
// compiler points to the rest (the fields of StationEntry and MasterData it
// names).
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "service/common/service_state.h"
#include "service/db/station_table.h"

namespace velunor {

struct FuelCode {
  int code;  // the digit at a central product's position in id 132
  int32_t MasterData::*central_product;
  std::string MasterData::*product_list;  // the SQL "in" list the code enters
};

inline constexpr std::array<FuelCode, 5> kFuelCodes = {{
    {1, &MasterData::CentralProductE5, &MasterData::MtsProductList},
    {2, &MasterData::CentralProductE10, &MasterData::MtsProductList},
    {3, &MasterData::CentralProductDiesel, &MasterData::MtsProductList},
    {4, &MasterData::CentralProductLpg, &MasterData::GasProductList},
    {5, &MasterData::CentralProductCng, &MasterData::GasProductList},
}};

struct Fuel {
  int code;  // its entry in kFuelCodes
  int32_t StationEntry::*product;
  PriceText StationEntry::*price;
  TimeText StationEntry::*priceTime;
  PriceText StationEntry::*newPrice;
  TimeText StationEntry::*newPriceTime;
  const char* priceColumn;  // of mts_petrolstation_price
  const char* timeColumn;
  const char* element;  // of the price publication
  bool time_in_grid;    // its price time is the one the station grid shows
  const char* key;      // its label in the metrics
};

inline constexpr std::array<Fuel, 3> kFuels = {{
    {1, &StationEntry::productE5, &StationEntry::priceE5, &StationEntry::priceTimeE5,
     &StationEntry::newPriceE5, &StationEntry::newPriceTimeE5, "ps_pricee5", "ps_pricee5_time",
     "fuelPriceE5", false, "e5"},
    {2, &StationEntry::productE10, &StationEntry::priceE10, &StationEntry::priceTimeE10,
     &StationEntry::newPriceE10, &StationEntry::newPriceTimeE10, "ps_pricee10", "ps_pricee10_time",
     "fuelPriceE10", false, "e10"},
    {3, &StationEntry::productDiesel, &StationEntry::priceDiesel, &StationEntry::priceTimeDiesel,
     &StationEntry::newPriceDiesel, &StationEntry::newPriceTimeDiesel, "ps_pricediesel",
     "ps_pricediesel_time", "fuelPriceDiesel", true, "diesel"},
}};

// The fuel whose price time the station grid shows (one, checked below).
constexpr const Fuel& GridTimeFuel() {
  for (const Fuel& fuel : kFuels) {
    if (fuel.time_in_grid) return fuel;
  }
  return kFuels.back();
}

// The code's entry; REQUIRES: 1 <= code <= kFuelCodes.size().
constexpr const FuelCode& CodeOf(int code) { return kFuelCodes[static_cast<size_t>(code - 1)]; }
constexpr const FuelCode& CodeOf(const Fuel& fuel) { return CodeOf(fuel.code); }

namespace fuel_checks {
constexpr bool CodesInOrder() {
  for (size_t i = 0; i < kFuelCodes.size(); ++i) {
    if (kFuelCodes[i].code != static_cast<int>(i) + 1) return false;
  }
  return true;
}
constexpr bool MtsFuelsAreTheMtsCodes() {
  for (size_t i = 0; i < kFuels.size(); ++i) {
    if (kFuels[i].code != static_cast<int>(i) + 1) return false;
    if (CodeOf(kFuels[i]).product_list != &MasterData::MtsProductList) return false;
  }
  for (size_t i = kFuels.size(); i < kFuelCodes.size(); ++i) {
    if (kFuelCodes[i].product_list == &MasterData::MtsProductList) return false;
  }
  return true;
}
constexpr bool OneTimeInTheGrid() {
  int shown = 0;
  for (const Fuel& fuel : kFuels) shown += fuel.time_in_grid ? 1 : 0;
  return shown == 1;
}
}  // namespace fuel_checks

static_assert(fuel_checks::CodesInOrder(), "fuel codes 1.. in order");
static_assert(fuel_checks::OneTimeInTheGrid(), "the grid shows the price time of one fuel");
static_assert(fuel_checks::MtsFuelsAreTheMtsCodes(),
              "kFuels are the codes of MtsProductList, in code order");
static_assert(ServiceState::kGridCaptions.size() == 2 + kFuelCodes.size(),
              "one grid column per fuel code after the station and the Aktiv column");
static_assert(std::string_view(ServiceState::kGridCaptions[2]) == "Super E5" &&
                  std::string_view(ServiceState::kGridCaptions[3]) == "Super E10" &&
                  std::string_view(ServiceState::kGridCaptions[4]) == "Diesel" &&
                  std::string_view(ServiceState::kGridCaptions[5]) == "LPG" &&
                  std::string_view(ServiceState::kGridCaptions[6]) == "CNG",
              "the grid captions name the fuel codes 1..5");

}  // namespace velunor
