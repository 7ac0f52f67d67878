// The client certificate's end as the running program sees it: velunor under
// libfaketime 40, 20 and 5 days before the test certificate expires
// (31.12.2045 23:59:59 UTC), against the private MariaDB and the endpoint
// simulator, read through its standard error, its error log, /health and
// /metrics.
#include <httplib.h>

#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "shared/cert_store.h"
#include "shared/output_line.h"
#include "tests/expect_text.h"
#include "tests/service_fixture.h"
#include "tests/small_network.h"
#include "tests/test_support.h"

namespace velunor {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::ServiceProcess;
using testing::TestDb;

constexpr std::int64_t kCertificateEnd = 2398377599;  // 2045-12-31 23:59:59 UTC

struct Seen {
  std::string stderr_text;
  std::string error_log;
  int health_status = 0;
  json health;
  std::string metrics;
};

class CertificateExpiryTest : public testing::ServiceProcessTest {
 protected:
  // A run of the program from `start_time` on until its status page shows
  // the first price publication.
  Seen RunAt(const std::string& name, const std::string& start_time) {
    const auto sql = testing::ConnectToStationNetwork();
    const fs::path program = WriteProgramDir(TestDb::Server(), "", dir_.path() / name / "program");
    ServiceProcess::Options options = Options(name, program);
    options.start_time = start_time;
    options.arguments = {"--status-address", "127.0.0.1:0"};
    ServiceProcess process(VELUNOR_BIN, options);

    const int port = process.AnnouncedStatusPort();
    EXPECT_NE(port, 0) << process.Stdout() << process.Stderr();
    Seen seen;
    httplib::Client client("127.0.0.1", port);
    EXPECT_TRUE(testing::WaitUntil(
        [&] {
          auto health = client.Get("/health");
          if (!health) return false;
          seen.health_status = health->status;
          seen.health = json::parse(health->body);
          return seen.health["last_price_publication"].is_object();
        },
        20))
        << process.Stdout() << process.Stderr();
    if (auto metrics = client.Get("/metrics")) seen.metrics = metrics->body;
    EXPECT_EQ(process.Stop(20), 0);
    seen.stderr_text = process.Stderr();
    seen.error_log = testing::ReadFile(program / "MTS-Error-0.LOG");
    return seen;
  }
};

TEST_F(CertificateExpiryTest, NothingAt40DaysAWarningAt20AnAlarmAt5) {
  const std::string expiry_metric =
      "velunor_client_certificate_expiry_timestamp_seconds " + std::to_string(kCertificateEnd);
  const std::string warning_head = "Das Client-Zertifikat \"" + certs_.client_subject +
                                   "\" läuft am " + FormatValidity(kCertificateEnd).substr(0, 10) +
                                   " ab ";
  // Standard error and the error log show the subject's backslash doubled.
  const auto printed = [](const std::string& text) { return EscapeLine(text); };

  Seen seen = RunAt("40", "2045-11-21 09:00:00");
  EXPECT_FALSE(Contains(seen.stderr_text, "Client-Zertifikat"));
  EXPECT_FALSE(Contains(seen.error_log, "Client-Zertifikat"));
  EXPECT_EQ(seen.health_status, 200);
  EXPECT_EQ(seen.health["state"], "ok");
  EXPECT_EQ(seen.health["warning"], "");
  EXPECT_EQ(seen.health["client_certificate"]["expiry_epoch_seconds"], kCertificateEnd);
  EXPECT_TRUE(Contains(seen.metrics, expiry_metric));

  seen = RunAt("20", "2045-12-11 09:00:00");
  const std::string at_20 = warning_head + "(noch 20 Tage)";
  EXPECT_TRUE(Contains(seen.stderr_text, "velunor: " + printed(at_20)));
  EXPECT_TRUE(Contains(seen.error_log, printed(at_20)));
  EXPECT_EQ(seen.health_status, 200) << "a warning, not yet an alarm";
  EXPECT_EQ(seen.health["state"], "ok");
  EXPECT_EQ(seen.health["warning"], at_20);
  EXPECT_EQ(seen.health["client_certificate"]["days_left"], 20);

  seen = RunAt("5", "2045-12-26 09:00:00");
  const std::string at_5 = warning_head + "(noch 5 Tage)";
  EXPECT_TRUE(Contains(seen.stderr_text, printed(at_5)));
  EXPECT_EQ(seen.health_status, 503);
  EXPECT_EQ(seen.health["state"], "alarm");
  EXPECT_EQ(seen.health["warning"], at_5);
  EXPECT_TRUE(Contains(seen.metrics, expiry_metric));
}

}  // namespace
}  // namespace velunor
