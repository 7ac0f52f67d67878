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

}  // namespace velunor::bench
