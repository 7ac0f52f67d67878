#include "bench/round_trips.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "tests/test_support.h"

namespace velunor::bench {

bool TestDatabaseConfigured() {
  const char* port = std::getenv("VELUNOR_TEST_DB_PORT");
  if (port != nullptr && *port != '\0') return true;
  std::fprintf(stderr,
               "no test database: VELUNOR_TEST_DB_PORT is not set; scripts/test starts a "
               "private MariaDB and runs every test\n");
  return false;
}

namespace {

constexpr unsigned char kQuit = 0x01;
constexpr unsigned char kStmtSendLongData = 0x18;
constexpr unsigned char kStmtClose = 0x19;

}  // namespace

RoundTrips::RoundTrips()
    : relay_(std::stoi(testing::TestDb::Port()), testing::TcpCutter::Mode::kPass) {
  relay_.SetClientTap([this](const char* data, size_t size) { Read(data, size); });
}

std::string RoundTrips::server() const { return "127.0.0.1:" + std::to_string(relay_.port()); }

void RoundTrips::Read(const char* data, size_t size) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size;) {
    if (header_read_ < header_.size()) {
      header_[header_read_++] = bytes[i++];
      if (header_read_ < header_.size()) continue;
      payload_left_ = header_[0] | (header_[1] << 8) | (header_[2] << 16);
      command_byte_next_ = header_[3] == 0 && payload_left_ > 0;
    } else if (command_byte_next_) {
      const unsigned char command = bytes[i++];
      --payload_left_;
      if (command != kQuit && command != kStmtSendLongData && command != kStmtClose) {
        ++answered_commands_;
      }
      command_byte_next_ = false;
    } else {
      const size_t skip = std::min(payload_left_, size - i);
      i += skip;
      payload_left_ -= skip;
    }
    if (header_read_ == header_.size() && !command_byte_next_ && payload_left_ == 0) {
      header_read_ = 0;
    }
  }
}

long RoundTrips::Since() {
  const long now = answered_commands_;
  const long since = now - last_;
  last_ = now;
  return since;
}

bool CountsStayFlat(const std::vector<std::vector<StepCounts>>& networks) {
  bool flat = true;
  for (const std::vector<StepCounts>& network : networks) {
    for (size_t i = 0; i < network.size(); ++i) {
      const StepCounts& first = networks.front()[i];
      const StepCounts& s = network[i];
      if (s.statements == first.statements && s.round_trips == first.round_trips) continue;
      std::printf("%s: %ld statements / %ld round trips for %d stations, %ld / %ld for %d\n",
                  s.step.c_str(), first.statements, first.round_trips, first.stations, s.statements,
                  s.round_trips, s.stations);
      flat = false;
    }
  }
  std::printf("statements and round trips per step %s with the number of stations\n",
              flat ? "stay flat" : "GROW");
  return flat;
}

}  // namespace velunor::bench
