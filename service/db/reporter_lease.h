// The reporter lease: one row in the service's own table `velunor_lease`
// (made when missing) that names the one instance allowed to write the MTS-K
// tables, advance publication numbers and transmit. Taking and renewing are
// one compare-and-set statement each, judged by the database server's clock
// only, so the machines' clocks never need to agree. Every function throws
// Failure (DbError) when the database refuses; the caller logs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "service/db/db_state.h"

namespace velunor {

inline constexpr const char* kLeaseTable = "velunor_lease";

// Who holds the lease, as the server sees it now.
struct LeaseHolder {
  std::string name;
  std::string token;
  std::int64_t held_seconds = 0;        // since the holder took it
  std::int64_t expires_in_seconds = 0;  // negative: run out that long ago
};

// Makes the table and its row when missing. Writes nothing else.
void PrepareLease(DbState& state);

// Takes the lease for `seconds` from the server's now when it is free, run
// out, or already held under `token`; renews it then. True when this
// instance holds it afterwards, false when another live instance does.
bool TakeLease(DbState& state, const std::string& name, const std::string& token, int seconds);

// The holder of the lease; nullopt when nobody has held it yet.
std::optional<LeaseHolder> ReadLeaseHolder(DbState& state);

}  // namespace velunor
