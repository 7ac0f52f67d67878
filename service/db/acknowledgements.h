// When the MTS-K last acknowledged a publication of each kind, kept in the
// database so that the five-minute clock runs across restarts (and from one
// machine to the next), and the page shows the last publications after a
// restart. The service keeps its own record in `velunor_state` (made when
// missing); the transfer log counts too where its time column holds times.
// Ages come from the database server's clock only, never the machine's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "service/common/clock.h"
#include "service/common/date_time.h"
#include "service/db/odbc.h"

namespace velunor {

inline constexpr const char* kStateTable = "velunor_state";

struct AcknowledgedAt {
  std::int64_t age_seconds = 0;  // by the database server's clock
  // Now on the service's clock less the age; nullopt when not known.
  std::optional<DateTime> at;
  std::string number;  // the publication number; "" when only the transfer log knew
};

struct KnownAcknowledgements {
  std::optional<AcknowledgedAt> price;
  std::optional<AcknowledgedAt> station;
  // Without any price acknowledgement: since when the service has been
  // watching, kept from the first start on (so a restart does not reset it).
  AcknowledgedAt price_watched;
};

// Makes `velunor_state` when missing and reads what it and the transfer log
// know over `db`, the times on `clock`. Throws Failure (DbError) when the database refuses; the
// caller logs.
KnownAcknowledgements ReadAcknowledgements(Connection& db, const Clock& clock);

// The MTS-K acknowledged publication `number` of the kind just now. Throws
// Failure (DbError) when the database refuses.
void RecordAcknowledgement(Connection& db, bool price, const std::string& number);

}  // namespace velunor
