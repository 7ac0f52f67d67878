#include "service/db/reporter_lease.h"

#include "service/db/db_values.h"

namespace velunor {

namespace {

std::string Table() { return kLeaseTable; }

// Still this process's, and not run out: the one condition every write of
// the reporter is fenced by.
constexpr const char* kOwnAndLive =
    "id = 1 and token = ? and nonce = ? and expires > utc_timestamp()";

}  // namespace

void PrepareLease(Connection& db) {
  db.Execute("create table if not exists " + Table() +
             " ( id int not null primary key, holder varchar(255) not null default '',"
             " token varchar(64) not null default '', nonce varchar(64) not null default '',"
             " since datetime null default null, renewed datetime null default null,"
             " expires datetime null default null ) default charset = utf8mb4");
  // An earlier version kept the times as `timestamp` in the session's time
  // zone; turned into UTC once, while the session counts in UTC.
  const ResultSet old = db.Query(
      "select count(*) from information_schema.columns where table_schema = database() and "
      "table_name = '" +
      Table() + "' and column_name = 'expires' and data_type = 'timestamp'");
  if (DbLong(old.ValueAt(0, 0)) > 0) {
    db.Execute("set @velunor_time_zone = @@session.time_zone, session time_zone = '+00:00'");
    db.Execute("alter table " + Table() +
               " add column if not exists nonce varchar(64) not null default '' after token,"
               " add column if not exists renewed datetime null default null after since,"
               " modify since datetime null default null, modify expires datetime null default "
               "null");
    db.Execute("set session time_zone = @velunor_time_zone");
  }
  db.Execute("insert ignore into " + Table() + " (id) values (1)");
}

LeaseAnswer TakeLease(Connection& db, const LeaseClaim& claim, bool restart) {
  // `since` first: the server assigns from left to right, and it must see
  // the token as it was before this statement. The connection counts
  // matched rows (option 2), so a renewal within the same second counts.
  const std::string sql =
      "update " + Table() +
      " set since = if(token = ? and since is not null, since, utc_timestamp()), holder = ?,"
      " token = ?, nonce = ?, renewed = utc_timestamp(), expires = utc_timestamp() + interval " +
      std::to_string(claim.seconds) +
      " second where id = 1 and ((token = ? and nonce = ?) or expires is null or"
      " expires < utc_timestamp()" +
      (restart ? " or token = ?)" : ")");
  std::vector<DbValue> params = {claim.token, claim.name,  claim.token,
                                 claim.nonce, claim.token, claim.nonce};
  if (restart) params.push_back(claim.token);
  for (int attempt = 0; attempt < 2; ++attempt) {
    db.Execute(sql, params);
    if (db.affected_rows() == 1) return LeaseAnswer::kHeld;
    const std::optional<LeaseHolder> holder = ReadLeaseHolder(db);
    if (holder) {
      return holder->token == claim.token && holder->nonce != claim.nonce &&
                     holder->expires_in_seconds >= 0
                 ? LeaseAnswer::kHeldByCopy
                 : LeaseAnswer::kHeldByOther;
    }
    // Deleted by hand: without the row nobody could ever hold the lease.
    const ResultSet row = db.Query("select count(*) from " + Table() + " where id = 1");
    if (DbLong(row.ValueAt(0, 0)) != 0) return LeaseAnswer::kHeldByOther;
    db.Execute("insert ignore into " + Table() + " (id) values (1)");
  }
  return LeaseAnswer::kHeldByOther;
}

bool ConfirmLease(Connection& db, const LeaseClaim& claim) {
  db.Execute("update " + Table() +
                 " set renewed = utc_timestamp(), expires = utc_timestamp() + interval " +
                 std::to_string(claim.seconds) + " second where " + kOwnAndLive,
             {claim.token, claim.nonce});
  return db.affected_rows() == 1;
}

void ReleaseLease(Connection& db, const LeaseClaim& claim) {
  db.Execute("update " + Table() +
                 " set expires = utc_timestamp() - interval 1 second"
                 " where id = 1 and token = ? and nonce = ?",
             {claim.token, claim.nonce});
}

std::optional<LeaseHolder> ReadLeaseHolder(Connection& db) {
  const ResultSet r = db.Query(
      "select holder, token, nonce, timestampdiff(second, since, utc_timestamp()),"
      " timestampdiff(second, utc_timestamp(), expires),"
      " timestampdiff(second, coalesce(renewed, since), utc_timestamp()) from " +
      Table() + " where id = 1 and since is not null");
  if (r.RecordCount() == 0) return std::nullopt;
  const auto number = [&](int column) {
    return r.ValueAt(0, column) ? DbLong(r.ValueAt(0, column)) : 0;
  };
  return LeaseHolder{r.ValueAt(0, 0).value_or(""),
                     r.ValueAt(0, 1).value_or(""),
                     r.ValueAt(0, 2).value_or(""),
                     number(3),
                     number(4),
                     number(5)};
}

bool IsWriteConflict(int native_error) {
  // 1213: a deadlock, and how a Galera node refuses a commit that lost the
  // certification; 1205: a lock wait timed out.
  return native_error == 1213 || native_error == 1205;
}

}  // namespace velunor
