// The in-memory station working table: per station the fuel mapping, stored
// and pending prices, override periods and grid row, plus the head-office
// product values loaded at start. Single-threaded.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "service/common/failure.h"
#include "service/db/odbc.h"
#include "service/db/station_map.h"

namespace velunor {

// A text field of fixed width: stored left-aligned, padded with blanks or cut.
template <size_t N>
class FixedText {
 public:
  FixedText() : text_(N, ' ') {}
  FixedText& operator=(const std::string& value) {
    text_ = value.substr(0, N);
    text_.append(N - text_.size(), ' ');
    return *this;
  }
  const std::string& str() const { return text_; }  // always N characters
  std::string Trimmed() const;
  bool Blank() const { return text_.find_first_not_of(' ') == std::string::npos; }
  // The numeric value after leading blanks; a blank field reads as 0.
  double Number() const;

 private:
  std::string text_;
};

using PriceText = FixedText<6>;
using TimeText = FixedText<25>;

struct OverrideTime {
  int32_t active = 0;
  int32_t closed = 0;
  TimeText periodStart;
  TimeText periodEnd;
};

struct StationEntry {
  std::string name;  // name1 of lox_station, as the last grid layout read it
  int32_t hasMtsFuels = 0;
  int32_t activeTime = 0;
  int32_t productE5 = 0;
  int32_t productE10 = 0;
  int32_t productDiesel = 0;
  PriceText priceE5, priceE10, priceDiesel;
  TimeText priceTimeE5, priceTimeE10, priceTimeDiesel;
  int32_t pricesChanged = 0;
  PriceText newPriceE5, newPriceE10, newPriceDiesel;
  TimeText newPriceTimeE5, newPriceTimeE10, newPriceTimeDiesel;
  std::array<OverrideTime, 9> overrides;  // 1..8 used
  // The override rows as last written to the table by this process (insert
  // statements); unknown until the first successful write.
  bool overrideRowsKnown = false;
  std::vector<std::string> overrideRowsWritten;
};

// An entry is made when a station is first named; Find tells a station that
// never was, whose entry would hold nothing but defaults.
using StationTable = StationMap<StationEntry>;

// Head-office values loaded at start.
struct MasterData {
  int32_t CentralProductE5 = 0;
  int32_t CentralProductE10 = 0;
  int32_t CentralProductDiesel = 0;
  int32_t CentralProductLpg = 0;
  int32_t CentralProductCng = 0;
  std::string MtsProductList = " 0";
  std::string GasProductList = " 0";
  std::string StationPublicationNumber;
  std::string PricePublicationNumber;
  std::string ReporterName;
  std::string LpgExportFile;
  int32_t LpgExportAktiv = 0;
  std::array<std::string, 31> ProductShortNames;
  std::array<std::string, 17> HolidayIdentifiers;
  // Bounds of the price work, set by the station publication.
  int32_t FirstStationNumber = 1;
  int32_t LastStationNumber = 0;
};

// Which stations the prepared station publication reports and the slot of
// each station's last line. Built by the station publication; kept here
// because the station synchronisation takes a deactivated station out of it.
struct StationPublicationIndex {
  StationMap<int32_t> StationActive;  // every station of the publication's read
  StationMap<int32_t> StationLineLast;
};

// The rows of the last successful read of the current prices.
struct CurrentPrices {
  ResultSet rows;
};

}  // namespace velunor
