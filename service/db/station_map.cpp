#include "service/db/station_map.h"

namespace velunor {

void CheckStationNumber(long station) {
  if (!StationNumberInRange(station)) {
    throw Failure(kErrSubscriptOutOfRange,
                  "Station " + std::to_string(station) + " liegt außerhalb von 0 bis 2147483647");
  }
}

void ThrowTooManyStations(long station) {
  throw Failure(kErrSubscriptOutOfRange, "Station " + std::to_string(station) +
                                             " übersteigt die Höchstzahl von 10000 Stationen");
}

}  // namespace velunor
