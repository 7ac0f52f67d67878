// Round trips to the database server as the wire shows them: the service
// connects through a relay in front of the test server (VELUNOR_TEST_DB_*)
// that reads the client's MariaDB packets. Every command the server answers
// is one round trip; MariaDB Connector/ODBC sends most statements as a
// prepare and an execute, back to back, which count as two. Commands without
// an answer (closing a prepared statement) count as none.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "tests/tcp_cutter.h"

namespace velunor::bench {

// The exit status CTest takes as "skipped" for the short forms run as tests.
constexpr int kSkipped = 77;

// False, after saying so on standard error, when no private test server was
// started (VELUNOR_TEST_DB_PORT unset): the short forms then skip.
bool TestDatabaseConfigured();

class RoundTrips {
 public:
  RoundTrips();
  // "127.0.0.1:<port>" of the relay, as STATION.INI names a server.
  std::string server() const;
  // Round trips since the last call (or since construction).
  long Since();

 private:
  void Read(const char* data, size_t size);  // on the relay's thread

  // A packet: 3 bytes length, 1 byte sequence number, the payload; a command
  // starts with sequence number 0 and its first payload byte names it.
  std::array<unsigned char, 4> header_{};
  size_t header_read_ = 0;
  size_t payload_left_ = 0;
  bool command_byte_next_ = false;
  std::atomic<long> answered_commands_{0};
  long last_ = 0;
  testing::TcpCutter relay_;  // last: stops before the parser state goes
};

// What one step of a benchmark sent for one network.
struct StepCounts {
  std::string step;
  int stations = 0;
  long statements = 0;
  long round_trips = 0;
};

// Prints every step whose statements or round trips differ between the
// networks and a summary line; true when none does.
// REQUIRES: every network holds the same steps in the same order.
bool CountsStayFlat(const std::vector<std::vector<StepCounts>>& networks);

// Measures every network in turn with `measure`, which reports it too;
// false, after saying why on standard error under `program`, when one failed.
template <typename Figures, typename Shape, typename Measure>
bool MeasureEach(const char* program, const std::vector<Shape>& shapes, Measure measure,
                 std::vector<Figures>* networks) {
  try {
    for (const Shape& shape : shapes) networks->push_back(measure(shape));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", program, e.what());
    return false;
  }
  std::printf("\n");
  return true;
}

// The counts of each network's `steps` steps, the i-th named `name(i)`.
template <typename Figures, typename Name>
std::vector<std::vector<StepCounts>> CountsOf(const std::vector<Figures>& networks, size_t steps,
                                              Name name) {
  std::vector<std::vector<StepCounts>> counts;
  for (const Figures& n : networks) {
    counts.emplace_back();
    for (size_t i = 0; i < steps; ++i) {
      counts.back().push_back({name(i), n.stations, n.steps[i].statements, n.steps[i].round_trips});
    }
  }
  return counts;
}

}  // namespace velunor::bench
