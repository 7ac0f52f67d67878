// Kestrin and the service meet only in Velunor.CFG: the certificate chosen in
// Kestrin's window (a subject with an escaped comma and umlauts), saved with
// the two URLs, read back the way the service reads it and used by the
// service's transmission to reach mdm-sim over TLS with that certificate.
#include <QLineEdit>
#include <QListWidget>

#include <gtest/gtest.h>

#include "certmanager/kestrin_test_driver.h"
#include "service/transmission/curl_transport.h"
#include "service/transmission/soap_envelope.h"
#include "service/transmission/soap_transaction.h"
#include "service/transmission/transmission_fakes.h"
#include "shared/settings_file.h"
#include "tests/test_env.h"
#include "tests/transmission_sim.h"

namespace velunor {
namespace {

using testing::MdmSim;
using testing::TestCertificates;

TEST(KestrinTransmissionTest, TheCertificateChosenInKestrinCarriesTheServicesTransmission) {
  testing::TestEnv t;
  const TestCertificates certs(t.dir.path() / "certs");
  ASSERT_NE(certs.client_subject.find("\\,"), std::string::npos) << certs.client_subject;
  ASSERT_NE(certs.client_subject.find("ü"), std::string::npos) << certs.client_subject;
  // Beside the client, a certificate the service cannot use, listed first.
  std::filesystem::copy_file(certs.sim / "ca.pem", certs.store / "MY" / "a-ca.pem");
  MdmSim sim(certs, t.dir.path() / "sim-run", {{"ack", "ack"}});
  const std::string station_url = sim.Url("/mts-k/station");
  const std::string price_url = sim.Url("/mts-k/prices");

  // The operator highlights the client certificate, takes it, enters the URLs, saves.
  {
    kestrin_test::Kestrin k(t.env.program_dir, certs.store);
    auto* list = k.Find<QListWidget>("ZertList");
    const auto rows =
        list->findItems(QString::fromStdString(certs.client_subject), Qt::MatchExactly);
    ASSERT_EQ(rows.size(), 1) << "the list shows the subject as the service selects by it";
    list->setCurrentItem(rows[0]);
    k.Click("SelectCert_0");
    k.Find<QLineEdit>("Text1_0")->setText(QString::fromStdString(station_url));
    k.Find<QLineEdit>("Text1_1")->setText(QString::fromStdString(price_url));
    const kestrin_test::BoxAnswer yes(QMessageBox::Yes);
    k.Click("SelectCert_1");
    ASSERT_TRUE(yes.seen);
  }

  const SettingsFileRead cfg = ReadSettingsFile(t.env.program_dir / kSettingsFileName);
  ASSERT_TRUE(cfg.found);
  EXPECT_EQ(cfg.lines, 3);
  EXPECT_EQ(cfg.values.VerwendetesZertifikat, certs.client_subject);
  EXPECT_EQ(cfg.values.UrlGrunddatenlieferung, station_url);
  EXPECT_EQ(cfg.values.UrlPreisdatenlieferung, price_url);

  const DirectoryCertStore store(certs.store);
  const std::pair<const char*, std::string> sendungen[] = {
      {"Stationdata", cfg.values.UrlGrunddatenlieferung},
      {"Pricedata", cfg.values.UrlPreisdatenlieferung}};
  for (const auto& [art, url] : sendungen) {
    testing::RecordingKommLog komm;
    CurlTransport transport(store);
    const Transmission transmission{SOAPEnvelope("<d2LogicalModel/>\r\n"), art, url,
                                    cfg.values.VerwendetesZertifikat};
    EXPECT_TRUE(SOAPTransaction(transmission, t.env, komm, transport).ok())
        << ::testing::PrintToString(komm.lines);
    ASSERT_FALSE(komm.lines.empty());
    EXPECT_EQ(komm.lines[1], "Using certificate " + certs.client_subject);
    EXPECT_EQ(komm.lines.back(), "Transaction successfull");
  }
  ASSERT_EQ(sim.RequestCount(), 2);
  EXPECT_TRUE(sim.RequestHeaders(1).starts_with("POST /mts-k/station HTTP/1.1\r\n"));
  EXPECT_TRUE(sim.RequestHeaders(2).starts_with("POST /mts-k/prices HTTP/1.1\r\n"));
  for (int n = 1; n <= 2; ++n) {
    EXPECT_TRUE(sim.RequestInfo(n).starts_with("client-subject: " + certs.client_subject + "\n"))
        << sim.RequestInfo(n);
  }
}

}  // namespace
}  // namespace velunor
