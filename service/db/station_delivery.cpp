#include "service/db/station_delivery.h"

#include <algorithm>
#include <sstream>

#include "service/db/db_values.h"
#include "shared/file_replace.h"

namespace velunor {

namespace {

std::filesystem::path PendingFile(const PendingStationStore& store) {
  return store.program_dir / kPendingStationsFileName;
}

void SavePendingStations(const PendingStationStore& store, const std::string& procedure) {
  const std::filesystem::path file = PendingFile(store);
  std::string error;
  if (store.delivery.pending.empty()) {
    const Status removed = store.files.Remove(file);
    if (!removed.ok()) error = FileErrorText(file, removed);
  } else {
    std::string text;
    for (long station : store.delivery.pending) text += std::to_string(station) + "\r\n";
    error = ReplaceFile(store.files, file, text).message();
  }
  if (!error.empty()) {
    store.log.WriteNotice(
        error + " (die noch nicht bestätigten Stationen sind in der Datenbank vermerkt)",
        procedure);
  }
}

// Pending from now on, by the server's clock; a station pending already
// keeps its time.
void InsertStations(Connection& db, const std::set<long>& stations) {
  std::string sql =
      std::string("insert ignore into ") + kPendingStationsTable + " (station, since) values ";
  const char* separator = "";
  for (long station : stations) {
    sql.append(separator).append("(").append(std::to_string(station)).append(", now())");
    separator = ", ";
  }
  db.Execute(sql);
}

}  // namespace

void LoadPendingStations(const PendingStationStore& store) {
  StationDelivery& d = store.delivery;
  if (d.loaded) return;
  Connection& db = Connected(store.db);
  const std::string table = kPendingStationsTable;
  const ResultSet exists = db.Query(
      "select count(*) from information_schema.tables where table_schema = database() and "
      "table_name = ?",
      {table});
  if (exists.RecordCount() == 1 && DbLong(exists.ValueAt(0, 0)) == 0) {
    db.Execute("create table if not exists " + table +
               " ( station int not null primary key, since timestamp null default null )"
               " default charset = utf8mb4");
    // A file that is not there (or cannot be read) lists no station.
    std::string text;
    store.files.ReadFile(PendingFile(store), &text);
    std::istringstream in(text);
    std::set<long> stations;
    long station = 0;
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream number(line);
      if (number >> station) stations.insert(station);
    }
    if (!stations.empty()) InsertStations(db, stations);
  }
  const ResultSet r =
      db.Query("select station, unix_timestamp() - unix_timestamp(since) from " + table);
  std::set<long> pending;
  std::int64_t oldest = 0;
  for (size_t row = 0; row < r.RecordCount(); ++row) {
    pending.insert(DbLong(r.ValueAt(row, 0)));
    if (r.ValueAt(row, 1)) oldest = std::max<std::int64_t>(oldest, DbLong(r.ValueAt(row, 1)));
  }
  d.pending = std::move(pending);
  d.since.reset();
  if (!d.pending.empty()) d.since = store.clock.EpochSeconds() - oldest;
  d.loaded = true;
}

std::string PendingStationsStatement(const StationDelivery& delivery) {
  if (delivery.pending.empty()) return "";
  std::string sql = "update lox_station_mts set status = 2 where station in ( 0 ";
  for (long station : delivery.pending) sql += ", " + std::to_string(station);
  return sql + " )";
}

void AddPendingStations(const PendingStationStore& store, const std::set<long>& stations,
                        const std::string& procedure) {
  StationDelivery& d = store.delivery;
  if (stations.empty()) return;
  InsertStations(Connected(store.db), stations);
  if (d.pending.empty()) d.since = store.clock.EpochSeconds();
  d.pending.insert(stations.begin(), stations.end());
  SavePendingStations(store, procedure);
}

void StationPublicationAssembled(StationDelivery& delivery) { delivery.carried = delivery.pending; }

void StationPublicationAcknowledged(const PendingStationStore& store,
                                    const std::string& procedure) {
  StationDelivery& d = store.delivery;
  if (d.carried.empty()) return;
  std::string sql = std::string("delete from ") + kPendingStationsTable + " where station in ( 0";
  for (long station : d.carried) sql.append(", ").append(std::to_string(station));
  Connected(store.db).Execute(sql.append(" )"));
  for (long station : d.carried) d.pending.erase(station);
  d.carried.clear();
  if (d.pending.empty()) d.since.reset();
  SavePendingStations(store, procedure);
}

}  // namespace velunor
