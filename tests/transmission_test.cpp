// The transmission end to end: SOAPTransaction over the real libcurl
// transport and real TLS 1.2 against mdm-sim, with certificates made by the
// project's script. Every case checks the communication log line by line.
#include <chrono>
#include <cstdlib>
#include <optional>
#include <regex>
#include <thread>

#include <gtest/gtest.h>

#include "service/transmission/curl_transport.h"
#include "service/transmission/soap_envelope.h"
#include "service/transmission/soap_transaction.h"
#include "service/transmission/transmission_fakes.h"
#include "shared/cert_store.h"
#include "tests/expect_text.h"
#include "tests/test_env.h"
#include "tests/transmission_sim.h"

namespace velunor {
namespace {

using testing::MdmSim;
using testing::RecordingKommLog;
using testing::TestCertificates;
using Lines = std::vector<std::string>;

// A price publication as the publication frame writes it: CR LF line ends,
// German letters as UTF-8.
const char kPublication[] =
    "<d2LogicalModel xmlns=\"http://datex2.eu/schema/2/2_0\" modelBaseVersion=\"2\">\r\n"
    "<payloadPublication xsi:type=\"FuelPricePublication\" lang=\"de\">\r\n"
    "<name>Stra\xC3\x9F"
    "e am M\xC3\xBChlbach</name>\r\n"
    "</payloadPublication>\r\n"
    "</d2LogicalModel>\r\n";

const char kServerSubject[] = "CN=127.0.0.1, O=Velunor Test, C=DE";
const char kTestCa[] = "CN=Velunor Test CA, O=Velunor Test, C=DE";
const char kCipher[] = "SSL: Handshake complete: TLSv1.2, ECDHE-RSA-AES256-GCM-SHA384";

class TransmissionTest : public ::testing::Test {
 protected:
  explicit TransmissionTest(TestCertificates::ClientFile file = TestCertificates::ClientFile::kPem)
      : certs_(t_.dir.path() / "certs", file), store_(certs_.store) {}

  void TearDown() override {
    for (const Lines& log : {komm_.lines, t_.ErrorLines()}) {
      EXPECT_FALSE(Contains(testing::Joined(log), "PRIVATE KEY")) << "key material in the log";
    }
  }

  // The simulator; url_ is its price URL, peer_ its address.
  MdmSim& StartSim(MdmSim::Config config) {
    const std::string host = config.host;
    sim_ = std::make_unique<MdmSim>(certs_, t_.dir.path() / "sim", std::move(config));
    url_ = sim_->Url("/mts-k/prices");
    peer_ = host + ":" + std::to_string(sim_->port());
    return *sim_;
  }

  // One transaction; returns its communication-log lines.
  Lines Send(const std::string& url, std::string subject = "",
             CurlTransport::Options options = {}) {
    if (subject.empty()) subject = certs_.client_subject;
    komm_.lines.clear();
    CurlTransport transport(store_, options);
    transmission_ = {SOAPEnvelope(kPublication), "Pricedata", url, subject};
    transmission_.deadline = deadline_;
    result_ = SOAPTransaction(transmission_, t_.env, komm_, transport);
    return komm_.lines;
  }

  Lines Opening(const std::string& url, const std::string& subject = "") const {
    return {"Beginning transaction to the MDM-Server (Pricedata)",
            "Using certificate " + (subject.empty() ? certs_.client_subject : subject),
            "Remote URL: " + url};
  }
  // The handshake with the simulator, or with the server at `peer`.
  Lines Handshake(const std::string& peer = "") const {
    return Join({Connected(peer.empty() ? peer_ : peer),
                 {std::string("SSL: Certificate subject: ") + kServerSubject,
                  std::string("SSL: Certificate issuer: ") + kTestCa, kCipher}});
  }
  static Lines Connected(const std::string& peer) {
    return {"Connection: Connecting " + peer, "Connection: Connected " + peer};
  }
  // The log of a transaction that refused the server's certificate of
  // `subject` by `issuer` for `problem`.
  Lines ServerCertificateRefused(const std::string& subject, const std::string& issuer,
                                 const std::string& problem) const {
    return Join({Opening(url_),
                 Connected(peer_),
                 {"SSL: Certificate subject: " + subject, "SSL: Certificate issuer: " + issuer,
                  "SSL: The following problems have been determined for this certificate:",
                  "SSL: " + problem, "ERR: 60 SSL certificate problem: " + problem + " Zeile: 5",
                  "Transaction failed!"}});
  }
  static Lines Join(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  }
  // The log of a transaction that got through the handshake and ended with `last`.
  Lines AfterHandshake(const Lines& last) const { return Join({Opening(url_), Handshake(), last}); }
  // The line before "Transaction failed!": the ERR line; "" for a log too short.
  static std::string ErrLine(const Lines& lines) {
    return lines.size() < 2 ? "" : lines[lines.size() - 2];
  }
  // The log of a transaction that ended with `err` before it connected.
  Lines FailedUnconnected(const std::string& url, const std::string& subject,
                          const std::string& err) const {
    return Join({Opening(url, subject), {err, "Transaction failed!"}});
  }
  // `lines` are `head`, an ERR line that matches `err`, and "Transaction failed!".
  static void ExpectFailedAfter(const Lines& lines, const Lines& head, const std::string& err) {
    ASSERT_EQ(lines.size(), head.size() + 2) << ::testing::PrintToString(lines);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + head.size()), head);
    EXPECT_TRUE(std::regex_match(lines[head.size()], std::regex(err))) << lines[head.size()];
    EXPECT_EQ(lines.back(), "Transaction failed!");
  }

  velunor::testing::TestEnv t_;
  TestCertificates certs_;
  DirectoryCertStore store_;
  std::unique_ptr<MdmSim> sim_;
  std::string url_;
  std::string peer_;
  RecordingKommLog komm_;
  Transmission transmission_;
  std::optional<std::chrono::steady_clock::time_point> deadline_;
  Status result_ = Status::Error(-1, "not run");
};

TEST_F(TransmissionTest, AcknowledgedPublicationArrivesByteForByte) {
  MdmSim& sim = StartSim({{"ack", "ack-plain"}});
  for (int run = 1; run <= 2; ++run) {
    EXPECT_EQ(Send(url_),
              AfterHandshake({"Server answered: HTTP/1.1 200 OK",
                              "SOAP: Server acknowledged transaction", "Transaction successfull"}))
        << (run == 1 ? "answer with XML declaration" : "answer without XML declaration");
    EXPECT_TRUE(result_.ok());
  }
  ASSERT_EQ(sim.RequestCount(), 2);
  EXPECT_EQ(sim.RequestBody(1), SOAPEnvelope(kPublication));
  const std::string body = sim.RequestBody(1);
  EXPECT_EQ(body.substr(body.size() - 26), "\r\n\r\n</S:Body></S:Envelope>");

  const std::string headers = sim.RequestHeaders(1);
  EXPECT_TRUE(headers.starts_with("POST /mts-k/prices HTTP/1.1\r\n")) << headers;
  EXPECT_TRUE(Contains(headers, "\r\nContent-Type: text/xml;charset=utf-8\r\n"));
  EXPECT_TRUE(Contains(headers, "\r\nUser-Agent: Quillon-Velunor V1.20\r\n"));
  EXPECT_TRUE(Contains(headers, "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"));
  EXPECT_FALSE(Contains(headers, "SOAPAction"));
  EXPECT_FALSE(Contains(headers, "Expect"));
  EXPECT_TRUE(sim.RequestInfo(1).starts_with("client-subject: " + certs_.client_subject + "\n"))
      << "the certificate chosen by its subject was presented";
  EXPECT_EQ(t_.window.info(), "06.12.2026 09:05:00 Übertragung an MTS");
  EXPECT_TRUE(t_.ErrorLines().empty());
}

TEST_F(TransmissionTest, AnswersOtherThanAnAcknowledgementFail) {
  MdmSim& sim = StartSim({{"refuse:Preisangabe ungültig", "responses:acknowledge|denied", "non-xml",
                           "empty", "http:500"}});
  const std::string ok = "Server answered: HTTP/1.1 200 OK";
  const struct {
    const char* what;
    Lines last;
  } answers[] = {
      {"refused", {ok, "SOAP: Server tell us: Preisangabe ungültig"}},
      {"denied", {ok, "SOAP: Server acknowledged transaction", "SOAP: Server tell us: denied"}},
      {"non-xml", {ok, "SOAP-Parse-Error!"}},
      {"empty", {ok, "SOAP-Parse-Error!"}},
      {"http:500", {"ERR: 500 Server answered with HTTP/1.1 500 Internal Server Error Zeile: 5"}}};
  for (const auto& [what, last] : answers) {
    EXPECT_EQ(Send(url_), AfterHandshake(Join({last, {"Transaction failed!"}}))) << what;
    EXPECT_FALSE(result_.ok()) << what;
  }
  EXPECT_EQ(sim.RequestCount(), 5);
}

TEST_F(TransmissionTest, WithoutItsClientCertificateNothingIsSent) {
  MdmSim& sim = StartSim({});
  const auto not_found = [](const std::string& why) {
    return "ERR: 1001 Client certificate not found: " + why + " Zeile: 5";
  };
  const auto no_subject = [&](const std::string& subject) {
    return not_found("no certificate with the subject \"" + subject + "\" in store \"MY\"");
  };

  const std::string other = "CN=Müller Tankstellen GmbH, O=Müller, C=DE";
  EXPECT_EQ(Send(url_, other), FailedUnconnected(url_, other, no_subject(other)));
  EXPECT_FALSE(result_.ok());

  // The CA certificate is in the store Root only, and has no key anyway.
  EXPECT_EQ(Send(url_, kTestCa)[3], no_subject(kTestCa));

  std::filesystem::remove(certs_.store / "MY" / "client.pem");
  const std::string own = certs_.client_subject;
  EXPECT_EQ(Send(url_), FailedUnconnected(url_, own, no_subject(own)));
  std::filesystem::remove_all(certs_.store / "MY");
  EXPECT_EQ(Send(url_)[3],
            not_found("certificate store \"MY\" does not exist in " + certs_.store.string()));
  EXPECT_FALSE(result_.ok());

  // Plain HTTP would carry the publication in clear; the transport refuses it.
  std::filesystem::create_directories(certs_.store / "MY");
  std::filesystem::copy_file(certs_.sim / "rogue-client.pem", certs_.store / "MY" / "rogue.pem");
  const std::string http = "http://127.0.0.1:" + std::to_string(sim.port()) + "/mts-k/prices";
  const std::string rogue = "CN=Rogue Client, O=Nobody, C=DE";
  EXPECT_EQ(Send(http, rogue),
            FailedUnconnected(http, rogue,
                              "ERR: 1 Protocol \"http\" not supported or disabled in libcurl "
                              "Zeile: 5"));
  EXPECT_EQ(sim.RequestCount(), 0);
}

// A client certificate exported by an older Windows (PKCS#12 with RC2-40 and
// 3DES) is read through OpenSSL's legacy provider and used over real TLS; a
// store file that cannot be read is named in the ERR line, not hidden behind
// "no certificate with the subject".
class LegacyCertificateTest : public TransmissionTest {
 protected:
  LegacyCertificateTest() : TransmissionTest(TestCertificates::ClientFile::kLegacyP12) {}
};

TEST_F(LegacyCertificateTest, LegacyPkcs12IsUsedAndUnreadableStoreFilesAreNamed) {
  MdmSim& sim = StartSim({{"ack"}});
  EXPECT_EQ(Send(url_).back(), "Transaction successfull");
  EXPECT_TRUE(result_.ok()) << ::testing::PrintToString(komm_.lines);
  EXPECT_EQ(sim.RequestCount(), 1);

  // The same certificate under a password the service does not know.
  const std::string p12 = (certs_.store / "MY" / "client.p12").string();
  const std::string plain = (t_.dir.path() / "plain.pem").string();
  ASSERT_EQ(std::system(("openssl pkcs12 -legacy -nodes -passin pass: -in '" + p12 + "' -out '" +
                         plain + "' && openssl pkcs12 -export -passout pass:geheim -in '" + plain +
                         "' -out '" + p12 + "'")
                            .c_str()),
            0);
  const std::string err = ErrLine(Send(url_));
  EXPECT_FALSE(result_.ok());
  EXPECT_TRUE(
      err.starts_with("ERR: 1001 Client certificate not found: no certificate with the subject"))
      << err;
  EXPECT_TRUE(Contains(err,
                       "; files that cannot be read there: client.p12: cannot open the PKCS#12 "
                       "file with an empty password"));
  EXPECT_EQ(sim.RequestCount(), 1) << "nothing sent without the certificate";
}

// Only an expired client certificate in "MY": it is presented all the same
// (the server decides), and the ERR line of the refusal says it expired.
TEST_F(TransmissionTest, AnExpiredClientCertificateIsNamedInTheErrLine) {
  MdmSim& sim = StartSim({});
  ASSERT_TRUE(certs_.IssueClientCopy("-400d", 30, 99, "client.pem"));
  const std::string err = ErrLine(Send(url_));
  EXPECT_TRUE(err.starts_with("ERR: ")) << err;
  EXPECT_TRUE(Contains(err, "; the client certificate (client.pem) expired on "));
  EXPECT_FALSE(result_.ok());
  EXPECT_EQ(sim.RequestCount(), 0);
}

TEST_F(TransmissionTest, ServerRefusesAClientCertificateOfAnotherCa) {
  MdmSim& sim = StartSim({});
  std::filesystem::copy_file(certs_.sim / "rogue-client.pem", certs_.store / "MY" / "rogue.pem");
  const std::string rogue = "CN=Rogue Client, O=Nobody, C=DE";
  Lines expected = Join({Opening(url_, rogue), Handshake()});
  expected.back() = "SSL: Alert received: fatal unknown CA";  // the server's word, no handshake
  ExpectFailedAfter(Send(url_, rogue), expected, "ERR: 35 .*alert unknown ca Zeile: 5");
  EXPECT_FALSE(result_.ok());
  EXPECT_EQ(sim.RequestCount(), 0);
}

TEST_F(TransmissionTest, ServerCertificateOfAnUnknownCaIsRefused) {
  MdmSim& sim = StartSim({{}, "1.2", /*rogue_server=*/true});
  EXPECT_EQ(Send(url_), ServerCertificateRefused("CN=127.0.0.1, O=Nobody, C=DE",
                                                 "CN=Unknown Test CA, O=Nobody, C=DE",
                                                 "unable to get local issuer certificate"));
  EXPECT_FALSE(result_.ok());
  EXPECT_EQ(sim.RequestCount(), 0);
}

TEST_F(TransmissionTest, ServerCertificateForAnotherAddressIsRefused) {
  MdmSim& sim = StartSim({{}, "1.2", false, "127.0.0.2"});
  EXPECT_EQ(Send(url_), ServerCertificateRefused(kServerSubject, kTestCa, "IP address mismatch"));
  EXPECT_EQ(sim.RequestCount(), 0);
}

TEST_F(TransmissionTest, AServerWithTls13OnlyFailsTheHandshake) {
  MdmSim& sim = StartSim({{}, "1.3"});
  ExpectFailedAfter(
      Send(url_),
      Join({Opening(url_), Connected(peer_), {"SSL: Alert received: fatal protocol version"}}),
      "ERR: 35 .*alert protocol version Zeile: 5");
  EXPECT_FALSE(result_.ok());
  EXPECT_EQ(sim.RequestCount(), 0);
}

TEST_F(TransmissionTest, NoAnswerWithinTheTimeOutFails) {
  MdmSim& sim = StartSim({{"delay:5"}});
  EXPECT_EQ(Send(url_, "", {.timeout = std::chrono::seconds(1)}),
            AfterHandshake({"ERR: 28 Timeout was reached: no complete answer within 1 s Zeile: 5",
                            "Transaction failed!"}));
  EXPECT_FALSE(result_.ok());
  EXPECT_EQ(sim.RequestCount(), 1) << "the request itself had arrived";
}

TEST_F(TransmissionTest, NothingIsSentOnceTheDeadlineHasPassedHoweverLateTheSendBegins) {
  // The reporter lease left 300 ms when it was measured; the process was
  // then held up (a stop, a slow certificate load) for longer than that.
  MdmSim& sim = StartSim({{"ack"}});
  deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const Lines lines = Send(url_);
  EXPECT_FALSE(result_.ok());
  EXPECT_EQ(ErrLine(lines), "ERR: 28 Timeout was reached: no complete answer within 0 s Zeile: 5")
      << ::testing::PrintToString(lines);
  EXPECT_EQ(sim.RequestCount(), 0) << "another instance may be reporting by now";
}

TEST_F(TransmissionTest, RedirectIsFollowedWithTheSameRequest) {
  MdmSim& sim = StartSim({{"redirect:/v2/prices", "ack"}});
  EXPECT_EQ(
      Send(url_),
      AfterHandshake(Join({{"Connection: Redirected /v2/prices"},
                           Handshake(),
                           {"Server answered: HTTP/1.1 200 OK",
                            "SOAP: Server acknowledged transaction", "Transaction successfull"}})));
  ASSERT_EQ(sim.RequestCount(), 2);
  EXPECT_TRUE(sim.RequestHeaders(2).starts_with("POST /v2/prices HTTP/1.1\r\n"));
  EXPECT_EQ(sim.RequestBody(2), SOAPEnvelope(kPublication));

  // Never to an address without https, where the publication would go out
  // in clear.
  const std::string clear = "http://127.0.0.1:" + std::to_string(sim.port()) + "/v2/prices";
  sim.SetOutcomes({"redirect:" + clear, "ack"});
  EXPECT_EQ(ErrLine(Send(url_)),
            "ERR: 1004 Redirect to an address without https refused: " + clear + " Zeile: 5");
  EXPECT_FALSE(result_.ok());
  EXPECT_EQ(sim.RequestCount(), 3) << "nothing sent in clear";

  // Two Location headers, the first to another server (the one libcurl would
  // follow), the second to this one: nothing is sent to either.
  MdmSim other(certs_, t_.dir.path() / "other", {{"ack"}});
  const std::string steal = other.Url("/steal");
  sim.SetOutcomes({"redirect:" + steal + "|/v2/prices", "ack"});
  EXPECT_EQ(ErrLine(Send(url_)), "ERR: 1004 Redirect with more than one Location refused: " +
                                     steal + ", /v2/prices Zeile: 5");
  EXPECT_FALSE(result_.ok());
  EXPECT_EQ(other.RequestCount(), 0) << "the publication reached the other server";
  EXPECT_EQ(sim.RequestCount(), 4);
}

// The authority moved its endpoint and redirects the old URL: the
// publications reach the new server, verified like the first, and the move
// is named for the operator to enter in Kestrin.
TEST_F(TransmissionTest, ARedirectToAnotherServerIsFollowedAndNamed) {
  MdmSim& sim = StartSim({{}});
  MdmSim other(certs_, t_.dir.path() / "other", {{"ack"}});
  const std::string moved = other.Url("/neu/prices");
  sim.SetOutcomes({"redirect:" + moved});
  const Lines handshake_there = Handshake("127.0.0.1:" + std::to_string(other.port()));
  for (int run = 1; run <= 2; ++run) {
    EXPECT_EQ(Send(url_), AfterHandshake(Join({{"Connection: Redirected " + moved},
                                               handshake_there,
                                               {"Die MTS-K-Adresse " + url_ + " leitet nach " +
                                                    moved + " um; bitte in Kestrin eintragen",
                                                "Server answered: HTTP/1.1 200 OK",
                                                "SOAP: Server acknowledged transaction",
                                                "Transaction successfull"}})));
    EXPECT_TRUE(result_.ok());
  }
  ASSERT_EQ(other.RequestCount(), 2);
  EXPECT_EQ(other.RequestBody(2), SOAPEnvelope(kPublication));
  EXPECT_TRUE(other.RequestInfo(2).starts_with("client-subject: " + certs_.client_subject + "\n"));

  // A server whose certificate no trusted CA signed is refused there too.
  MdmSim rogue(certs_, t_.dir.path() / "rogue", {{"ack"}, "1.2", true});
  sim.SetOutcomes({"redirect:" + rogue.Url("/neu/prices")});
  const Lines lines = Send(url_);
  EXPECT_FALSE(result_.ok());
  EXPECT_EQ(rogue.RequestCount(), 0);
  EXPECT_EQ(lines.back(), "Transaction failed!");
}

// One time-out for the whole transmission: a chain of slow redirects ends
// when it is spent, not after a full time-out per redirect.
TEST_F(TransmissionTest, ARedirectChainThatOutlastsTheTimeOutEndsAtTheTimeOut) {
  MdmSim& sim = StartSim(
      {{"delay:0.6:redirect:/a", "delay:0.6:redirect:/b", "delay:0.6:redirect:/c", "ack"}});
  const auto start = std::chrono::steady_clock::now();
  const Lines lines = Send(url_, "", {.timeout = std::chrono::seconds(1)});
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_FALSE(result_.ok());
  EXPECT_EQ(ErrLine(lines), "ERR: 28 Timeout was reached: no complete answer within 1 s Zeile: 5")
      << ::testing::PrintToString(lines);
  EXPECT_LT(took, std::chrono::milliseconds(1500));
  EXPECT_EQ(sim.RequestCount(), 2) << "the second request used up what was left";
}

}  // namespace
}  // namespace velunor
