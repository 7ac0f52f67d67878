#include "service/db/station_delivery.h"

#include <fstream>
#include <sstream>

#include "shared/file_replace.h"

namespace velunor {

namespace {

std::filesystem::path PendingFile(const DbState& state) {
  return state.env.program_dir / kPendingStationsFileName;
}

void SavePendingStations(DbState& state, const std::string& procedure) {
  const std::filesystem::path file = PendingFile(state);
  std::string error;
  if (state.delivery.pending.empty()) {
    std::error_code ec;
    std::filesystem::remove(file, ec);
    if (ec) error = file.string() + ": " + ec.message();
  } else {
    std::string text;
    for (long station : state.delivery.pending) text += std::to_string(station) + "\r\n";
    ReplaceFile(file, text, &error);
  }
  if (!error.empty()) {
    state.env.log.WriteNotice(
        error + " (die noch nicht bestätigten Stationen sind nur im Speicher vermerkt)", procedure);
  }
}

}  // namespace

void LoadPendingStations(DbState& state) {
  StationDelivery& d = state.delivery;
  if (d.loaded) return;
  d.loaded = true;
  std::ifstream in(PendingFile(state), std::ios::binary);
  long station = 0;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream number(line);
    if (number >> station) d.pending.insert(station);
  }
  if (!d.pending.empty() && !d.since) d.since = state.env.clock.EpochSeconds();
}

std::string PendingStationsStatement(const DbState& state) {
  if (state.delivery.pending.empty()) return "";
  std::string sql = "update lox_station_mts set status = 2 where station in ( 0 ";
  for (long station : state.delivery.pending) sql += ", " + std::to_string(station);
  return sql + " )";
}

void AddPendingStations(DbState& state, const std::set<long>& stations,
                        const std::string& procedure) {
  StationDelivery& d = state.delivery;
  if (stations.empty()) return;
  if (d.pending.empty()) d.since = state.env.clock.EpochSeconds();
  d.pending.insert(stations.begin(), stations.end());
  SavePendingStations(state, procedure);
}

void StationPublicationAssembled(DbState& state) {
  state.delivery.carried = state.delivery.pending;
}

void StationPublicationAcknowledged(DbState& state, const std::string& procedure) {
  StationDelivery& d = state.delivery;
  if (d.carried.empty()) return;
  for (long station : d.carried) d.pending.erase(station);
  d.carried.clear();
  if (d.pending.empty()) d.since.reset();
  SavePendingStations(state, procedure);
}

}  // namespace velunor
