#include "service/db/reporter_lease.h"

#include "service/db/db_values.h"

namespace velunor {

void PrepareLease(DbState& state) {
  Connection& db = state.db();
  db.Execute(std::string("create table if not exists ") + kLeaseTable +
             " ( id int not null primary key, holder varchar(255) not null default '',"
             " token varchar(64) not null default '', since timestamp null default null,"
             " expires timestamp null default null ) default charset = utf8mb4");
  db.Execute(std::string("insert ignore into ") + kLeaseTable + " (id) values (1)");
}

bool TakeLease(DbState& state, const std::string& name, const std::string& token, int seconds) {
  Connection& db = state.db();
  // `since` first: the server assigns from left to right, and it must see
  // the token as it was before this statement. The connection counts
  // matched rows (option 2), so a renewal within the same second counts.
  db.Execute(std::string("update ") + kLeaseTable +
                 " set since = if(token = ? and since is not null, since, now()), holder = ?,"
                 " token = ?, expires = now() + interval " +
                 std::to_string(seconds) +
                 " second where id = 1 and (token = ? or expires is null or expires < now())",
             {token, name, token, token});
  return db.affected_rows() == 1;
}

std::optional<LeaseHolder> ReadLeaseHolder(DbState& state) {
  const ResultSet r =
      state.db().Query(std::string("select holder, token, timestampdiff(second, since, now()),"
                                   " timestampdiff(second, now(), expires) from ") +
                       kLeaseTable + " where id = 1 and since is not null");
  if (r.RecordCount() == 0) return std::nullopt;
  return LeaseHolder{r.ValueAt(0, 0).value_or(""), r.ValueAt(0, 1).value_or(""),
                     r.ValueAt(0, 2) ? DbLong(r.ValueAt(0, 2)) : 0,
                     r.ValueAt(0, 3) ? DbLong(r.ValueAt(0, 3)) : 0};
}

}  // namespace velunor
