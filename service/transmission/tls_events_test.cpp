#include "service/transmission/tls_events.h"

#include <gtest/gtest.h>

#include "service/transmission/transmission_fakes.h"
#include "tests/test_env.h"

namespace velunor {
namespace {

using testing::RecordingKommLog;
using Lines = std::vector<std::string>;

class TlsEventLogTest : public ::testing::Test {
 protected:
  velunor::testing::TestEnv t_;
  RecordingKommLog komm_;
  TlsEventLog events_{t_.log, komm_};
};

TEST_F(TlsEventLogTest, WritesTheLinesOfEachEventAndKeepsTheVerdict) {
  events_.SOAP1_ConnectionStatus("Connecting", 7, "127.0.0.1:443");
  events_.SOAP1_ConnectionStatus("Connected", 0, "");
  bool accept = true;
  events_.SOAP1_SSLServerAuthentication("DER", "CN=mdm.example, C=DE", "CN=CA, C=DE", "ok", accept);
  EXPECT_TRUE(accept);
  accept = false;
  events_.SOAP1_SSLServerAuthentication("DER", "CN=127.0.0.1", "CN=Unknown CA",
                                        "unable to get local issuer certificate", accept);
  EXPECT_FALSE(accept) << "the handler never overrides the transport's verdict";
  events_.SOAP1_SSLStatus("Alert received: fatal protocol version");

  EXPECT_EQ(komm_.lines,
            (Lines{"Connection: Connecting 127.0.0.1:443", "Connection: Connected ",
                   "SSL: Certificate subject: CN=mdm.example, C=DE",
                   "SSL: Certificate issuer: CN=CA, C=DE", "SSL: Certificate subject: CN=127.0.0.1",
                   "SSL: Certificate issuer: CN=Unknown CA",
                   "SSL: The following problems have been determined for this certificate:",
                   "SSL: unable to get local issuer certificate",
                   "SSL: Alert received: fatal protocol version"}));
  EXPECT_TRUE(t_.ErrorLines().empty());
}

TEST_F(TlsEventLogTest, AFailingLogLineGoesToTheErrorLogAndTheHandlerGoesOn) {
  komm_.throw_on = "SSL: Certificate subject: CN=127.0.0.1";
  bool accept = false;
  events_.SOAP1_SSLServerAuthentication("", "CN=127.0.0.1", "CN=Unknown CA",
                                        "certificate has expired", accept);
  EXPECT_FALSE(accept);
  EXPECT_EQ(komm_.lines,
            (Lines{"SSL: Certificate issuer: CN=Unknown CA",
                   "SSL: The following problems have been determined for this certificate:",
                   "SSL: certificate has expired"}));
  EXPECT_EQ(t_.ErrorLines(), Lines{"12-06-2026 09:05:00 --> SOAP1_SSLServerAuthentication / 75 / "
                                   "Pfad/Datei-Zugriffsfehler / "});

  komm_.throw_on = "SSL: Handshake complete: TLSv1.2";
  events_.SOAP1_SSLStatus("Handshake complete: TLSv1.2");
  komm_.throw_on = "Connection: Connecting 10.0.0.1:443";
  events_.SOAP1_ConnectionStatus("Connecting", 0, "10.0.0.1:443");
  ASSERT_EQ(t_.ErrorLines().size(), 3u);
  EXPECT_NE(t_.ErrorLines()[1].find("--> SOAP1_SSLStatus / 75 /"), std::string::npos);
  EXPECT_NE(t_.ErrorLines()[2].find("--> SOAP1_ConnectionStatus / 75 /"), std::string::npos);
  EXPECT_EQ(t_.log.LetzterFehler(), 75);
}

}  // namespace
}  // namespace velunor
