#include "service/db/acknowledgements.h"

#include "service/common/zusatzfunktionen.h"
#include "service/db/db_values.h"

namespace velunor {

namespace {

constexpr const char* kPriceRecord = "price-acknowledged";
constexpr const char* kStationRecord = "station-acknowledged";
constexpr const char* kWatchedRecord = "price-watched";
// In seconds of the epoch: a change of the server's daylight saving time
// moves neither end.
constexpr const char* kAge = "unix_timestamp() - unix_timestamp(changed), value";

// The moment `age` seconds ago as the status line shows times.
AcknowledgedAt Ago(const Clock& clock, std::int64_t age, std::string number) {
  return {age, AddSeconds(clock.Now(), -age), std::move(number)};
}

// A column name as the server reported it, quoted for a statement.
std::string Quoted(const std::string& name) {
  std::string quoted = "`";
  for (char c : name) quoted.append(c == '`' ? "``" : std::string(1, c));
  return quoted.append("`");
}

std::optional<AcknowledgedAt> Record(Connection& db, const Clock& clock, const char* name) {
  const ResultSet r = db.Query(std::string("select ") + kAge + " from " + kStateTable +
                                   " where name = ? and changed is not null",
                               {std::string(name)});
  if (r.RecordCount() == 0 || !r.ValueAt(0, 0)) return std::nullopt;
  return Ago(clock, DbLong(r.ValueAt(0, 0)), r.ValueAt(0, 1).value_or(""));
}

// The newest success of `code` in the transfer log, when its second column
// (written as null) is a time the database fills in.
std::optional<AcknowledgedAt> TransferLogSuccess(Connection& db, const Clock& clock, int code) {
  const ResultSet columns = db.Query(
      "select column_name, data_type from information_schema.columns where table_schema = "
      "database() and table_name = 'mts_petrolstation_log' order by ordinal_position");
  if (columns.RecordCount() < 3) return std::nullopt;
  const std::string type = columns.ValueAt(1, 1).value_or("");
  if (type != "timestamp" && type != "datetime") return std::nullopt;
  const std::string time = Quoted(columns.ValueAt(1, 0).value_or(""));
  std::string sql = "select unix_timestamp() - unix_timestamp(max(";
  sql.append(time).append(")) from mts_petrolstation_log where ");
  sql.append(Quoted(columns.ValueAt(2, 0).value_or(""))).append(" = ").append(std::to_string(code));
  const ResultSet r = db.Query(sql);
  if (r.RecordCount() == 0 || !r.ValueAt(0, 0)) return std::nullopt;
  return Ago(clock, DbLong(r.ValueAt(0, 0)), "");
}

// The more recent of the two; the own record's number where it is as recent.
std::optional<AcknowledgedAt> Newer(std::optional<AcknowledgedAt> own,
                                    std::optional<AcknowledgedAt> logged) {
  if (!own) return logged;
  if (!logged || logged->age_seconds >= own->age_seconds) return own;
  return logged;
}

}  // namespace

KnownAcknowledgements ReadAcknowledgements(Connection& db, const Clock& clock) {
  db.Execute(std::string("create table if not exists ") + kStateTable +
             " ( name varchar(40) not null primary key, value varchar(255) not null default '',"
             " changed timestamp null default null ) default charset = utf8mb4");
  KnownAcknowledgements known;
  // The transfer log's codes of a successful transmission: 1 prices, 0 stations.
  known.price = Newer(Record(db, clock, kPriceRecord), TransferLogSuccess(db, clock, 1));
  known.station = Newer(Record(db, clock, kStationRecord), TransferLogSuccess(db, clock, 0));
  db.Execute(std::string("insert ignore into ") + kStateTable +
                 " (name, value, changed) values (?, '', now())",
             {std::string(kWatchedRecord)});
  known.price_watched = Record(db, clock, kWatchedRecord).value_or(Ago(clock, 0, ""));
  return known;
}

void RecordAcknowledgement(Connection& db, bool price, const std::string& number) {
  db.Execute(std::string("insert into ") + kStateTable +
                 " (name, value, changed) values (?, ?, now()) on duplicate key update "
                 "value = values(value), changed = now()",
             {std::string(price ? kPriceRecord : kStationRecord), number});
}

}  // namespace velunor
