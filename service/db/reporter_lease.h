// The reporter lease: one row in the service's own table `velunor_lease`
// (made when missing, and made again when someone deleted it) that names the
// one instance allowed to write the MTS-K tables, advance publication
// numbers and transmit. Taking and renewing are one compare-and-set
// statement each, judged by the database server's clock only (in UTC, so a
// change of daylight saving time on the server moves nothing), so the
// machines' clocks never need to agree. The row holds the instance's token
// (kept in its program directory) and a nonce of the process, so that a copy
// of a program directory running elsewhere cannot pass for the instance.
// Every function throws Failure (DbError) when the database refuses; the
// caller logs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "service/db/odbc.h"

namespace velunor {

inline constexpr const char* kLeaseTable = "velunor_lease";
// The server's number for a table that does not exist.
inline constexpr int kErrNoSuchTable = 1146;

// Who asks for the lease: the instance's name and token, the process's
// nonce, the lease's length.
struct LeaseClaim {
  std::string name;
  std::string token;
  std::string nonce;
  int seconds = 60;
};

// Who holds the lease, as the server sees it now.
struct LeaseHolder {
  std::string name;
  std::string token;
  std::string nonce;
  std::int64_t held_seconds = 0;        // since the holder took it
  std::int64_t expires_in_seconds = 0;  // negative: run out that long ago
  std::int64_t renewed_seconds_ago = 0;
};

enum class LeaseAnswer {
  kHeld,         // this process holds it now
  kHeldByOther,  // another live instance does
  kHeldByCopy,   // this instance's token under another process that renews it
};

// Makes the table and its row when missing, and brings a table of an earlier
// version up to date (times in UTC, the nonce). Writes nothing else.
void PrepareLease(Connection& db);

// Takes the lease for `claim.seconds` from the server's now when it is free,
// run out, or already held by this process; renews it then. With
// `restart` (nothing answered yet in this run) this instance's token held
// by an earlier process is taken back at once. A row that has gone is made
// again.
LeaseAnswer TakeLease(Connection& db, const LeaseClaim& claim, bool restart);

// The statement that confirms (and renews) the lease of `claim` as the first
// one of a transaction: true when it matched.
bool ConfirmLease(Connection& db, const LeaseClaim& claim);

// Lets the lease run out now when `claim` holds it, so that a standby takes
// over at its next tick.
void ReleaseLease(Connection& db, const LeaseClaim& claim);

// The holder of the lease; nullopt when nobody has held it yet.
std::optional<LeaseHolder> ReadLeaseHolder(Connection& db);

// The server's numbers for a conflict of two writers (a deadlock, a lock
// wait timed out, a certification conflict of a Galera cluster): not a fault,
// the statement is tried again later.
bool IsWriteConflict(int native_error);

}  // namespace velunor
