// A seeded random schedule of faults against two velunor processes on one
// database (a single server or three Galera nodes, each instance on a node
// of its own): kill -9, SIGSTOP/SIGCONT shorter and longer than the lease,
// normal restarts, database connections cut or frozen by a relay in front of
// each instance, and Galera nodes killed and started again. Each instance
// reports to a simulator of its own, so the record tells who sent what; the
// reporter lease row is read all along by the test's own connection. The
// invariants are checked on the whole record afterwards.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace velunor::testing {

struct ScheduleRecord {
  struct Transmission {
    int sender = 0;     // 0 or 1
    double time = 0;    // received by the simulator, seconds since the epoch
    std::string kind;   // "FuelPricePublication", "PetrolStationPublication"
    std::string id;     // "P-2026-12"
    std::string price;  // the watched station's Diesel price in it, "" when none
  };
  // A holder of the lease as the row showed it: `since` by the server's
  // clock, whole seconds.
  struct Term {
    int holder = -1;  // 0 or 1; -1 for a name the test did not start
    double since = 0;
  };
  std::vector<Transmission> transmissions;  // by receipt
  std::vector<Term> terms;                  // in the order seen
  int lease_seconds = 15;
  double last_fault_end = 0;  // the time the last fault was healed
  double final_price_set = 0;
  std::string final_price;
  // History rows found more than once, as the server lists them.
  std::vector<std::string> repeated_history_rows;
  // Instances that ended without being told to, with their last words.
  std::vector<std::string> own_ends;
};

// Each invariant by name with its evidence; an empty list holds.
//   "one reporter": each transmission lies within a lease term of its sender
//   "no number twice": no publication number received twice
//   "numbers rise": each kind's numbers rise in the order received
//   "final price": the price set after the last fault arrives within
//                  lease + 30 s
//   "no history row twice": no history row written twice
//   "nobody ends by itself": no instance ended without being told to
std::map<std::string, std::vector<std::string>> CheckInvariants(const ScheduleRecord& record);

struct ScheduleConfig {
  unsigned seed = 33;
  // Faults go on this long; each kind comes once before any repeats, so 0
  // is one of each.
  double seconds = 0;
  // Short pauses between faults, long faults just past the lease, and the
  // kills and node deaths aimed at the lease holder, so that one of each
  // measures a takeover; otherwise up to twice the lease, and mostly the holder.
  bool bounded = true;
  bool galera = false;
  int lease_seconds = 15;
};

struct ScheduleFigures {
  std::map<std::string, int> faults;  // by kind
  int takeovers = 0;                  // lease terms changing hands
  double longest_silence = 0;         // seconds without any transmission
  int double_reports = 0;             // transmissions outside their sender's lease
  int ended_by_themselves = 0;        // instance ends the schedule did not cause
  // Starts that met a database fault and ended, as a start without its
  // database must; the service manager starts them again.
  int starts_ended_by_database = 0;
  // From kill -9 (or the death of its node) of the lease holder to the next
  // transmission of either instance: the killed one restarted takes its own
  // lease back, or the other takes over once the lease has run out.
  std::vector<double> takeover_after_kill;
  std::vector<double> takeover_after_node_death;
  std::map<std::string, std::vector<std::string>> invariants;
  std::vector<std::string> notes;
  std::string Summary() const;
};

// Runs the whole schedule; throws std::runtime_error when the database or a
// simulator cannot be set up.
ScheduleFigures RunFaultSchedule(const ScheduleConfig& config);

}  // namespace velunor::testing
