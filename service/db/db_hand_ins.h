// What each database procedure is handed, cut from the process's database
// state: the one place that knows which parts of DbState a procedure works
// on, so that the procedures themselves take only those parts.
#pragma once

#include <set>
#include <string>

#include "service/db/connect.h"
#include "service/db/db_state.h"
#include "service/db/gas_tankstelle_export.h"
#include "service/db/lox_stammdaten.h"
#include "service/db/preisdaten.h"
#include "service/db/station_delivery.h"
#include "service/db/stationsdaten.h"
#include "service/db/stationskraftstoffe.h"
#include "service/db/stationspreise.h"

namespace velunor {

// The run's connection, logged to the run's log; DB_Trennen takes the
// session, which a DbState is.
inline Status DB_Verbinden(DbState& state, const std::string& server) {
  return DB_Verbinden(state, state.env.log, server);
}

inline PriceIntake PriceIntakeOf(DbState& state) {
  return {state.env.clock, state.env.log, state.stations, state.env.service,
          PriceWatch(state.plausibility, state.env.clock, state.env.log, state.env.service)};
}

// The current-price intake over the run's connection into the state's last read.
inline void DB_Get_MTS_StationsPreise(DbState& state) {
  DB_Get_MTS_StationsPreise(state.DbVerbindung.get(), state.current_prices, PriceIntakeOf(state));
}
inline void AktuellePreiseZuordnen(DbState& state) {
  AktuellePreiseZuordnen(state.current_prices, PriceIntakeOf(state));
}

inline MasterDataLoad MasterDataLoadOf(DbState& state) {
  return {state.env.log,        state.DbVerbindung.get(), state.env.host, state.env.files,
          state.stammdaten,     state.settings,           state.stations, state.env.service,
          state.current_prices, PriceIntakeOf(state)};
}

inline void DB_LOXStammdaten(DbState& state, const SettingsFileRead& settings_file) {
  DB_LOXStammdaten(MasterDataLoadOf(state), settings_file);
}

inline StationFuelsRead StationFuelsReadOf(DbState& state) {
  return {state.env.log, state.DbVerbindung.get(), state.stammdaten, state.stations,
          state.env.service};
}

inline void DB_Preisdaten(DbState& state) {
  DB_Preisdaten(PriceStore{state, state.env.log, state.stammdaten, state.stations});
}
inline void DB_TransferLog(DbState& state, int code, const std::string& text) {
  DB_TransferLog(state, state.env.log, code, text);
}

inline LpgExportRun LpgExportRunOf(DbState& state) {
  return {state.env.log,         state.DbVerbindung.get(), state.stammdaten,
          state.env.files,       state.env.program_dir,    state.lpg_dir,
          state.lpg_refusal_told};
}

inline void Gas_Tankstelle_Export(DbState& state) { Gas_Tankstelle_Export(LpgExportRunOf(state)); }

inline PendingStationStore PendingStationStoreOf(DbState& state) {
  return {state.delivery, state.DbVerbindung.get(), state.env.files, state.env.program_dir,
          state.env.log,  state.env.clock};
}

inline StationSync StationSyncOf(DbState& state) {
  return {state,
          state.env.log,
          state.env.clock,
          state.stammdaten,
          state.stations,
          state.published,
          state.env.service,
          state.LetzteStationsanzahl,
          PendingStationStoreOf(state)};
}

inline int DB_Stationsdaten(DbState& state, int mode) {
  return DB_Stationsdaten(StationSyncOf(state), mode);
}

inline void LoadPendingStations(DbState& state) {
  LoadPendingStations(PendingStationStoreOf(state));
}
inline std::string PendingStationsStatement(const DbState& state) {
  return PendingStationsStatement(state.delivery);
}
inline void AddPendingStations(DbState& state, const std::set<long>& stations,
                               const std::string& procedure) {
  AddPendingStations(PendingStationStoreOf(state), stations, procedure);
}
inline void StationPublicationAssembled(DbState& state) {
  StationPublicationAssembled(state.delivery);
}
inline void StationPublicationAcknowledged(DbState& state, const std::string& procedure) {
  StationPublicationAcknowledged(PendingStationStoreOf(state), procedure);
}

}  // namespace velunor
