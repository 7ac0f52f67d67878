#include "service/transmission/soap_transaction.h"

#include <gtest/gtest.h>

#include "service/transmission/soap_envelope.h"
#include "service/transmission/transmission_fakes.h"
#include "tests/test_env.h"

namespace velunor {
namespace {

using testing::RecordingKommLog;
using testing::ScriptedTransport;
using Lines = std::vector<std::string>;

const char kSubject[] = "CN=Müller Tankstellen GmbH, O=Müller\\, Söhne KG, C=DE";

std::string Answer(const std::string& responses, bool declaration = true) {
  return std::string(declaration ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" : "") +
         "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\">"
         "<soapenv:Body><d2LogicalModel xmlns=\"http://datex2.eu/schema/2/2_0\" "
         "modelBaseVersion=\"2\"><exchange>" +
         responses +
         "<supplierIdentification><country>de</country></supplierIdentification>"
         "</exchange></d2LogicalModel></soapenv:Body></soapenv:Envelope>";
}

class SoapTransactionTest : public ::testing::Test {
 protected:
  Status Run(const std::string& art = "Pricedata") {
    transmission_ = {SOAPEnvelope("<d2LogicalModel/>\r\n"), art, "https://mdm.example/prices",
                     kSubject};
    return SOAPTransaction(transmission_, t_.env, komm_, transport_);
  }
  // The lines after "Remote URL: ...".
  Lines Tail() const {
    return komm_.lines.size() > 3 ? Lines(komm_.lines.begin() + 3, komm_.lines.end()) : Lines{};
  }

  velunor::testing::TestEnv t_;
  RecordingKommLog komm_;
  ScriptedTransport transport_;
  Transmission transmission_;
};

TEST_F(SoapTransactionTest, AcknowledgedPublicationLogsEveryStepInOrder) {
  transport_.answer = {"HTTP/1.1 200 OK", Answer("<response>acknowledge</response>")};
  std::string info_while_sending;
  int repaints_while_sending = -1;
  transport_.during_send = [&](TlsEvents& e) {
    info_while_sending = t_.window.info();
    repaints_while_sending = t_.host.repaints;
    e.SOAP1_ConnectionStatus("Connecting", 0, "10.1.2.3:443");
    bool accept = true;
    e.SOAP1_SSLServerAuthentication("", "CN=mdm.example", "CN=Some CA", "ok", accept);
    e.SOAP1_SSLStatus("Handshake complete: TLSv1.2, ECDHE-RSA-AES256-GCM-SHA384");
  };

  EXPECT_TRUE(Run("Stationdata").ok());
  EXPECT_EQ(
      komm_.lines,
      (Lines{"Beginning transaction to the MDM-Server (Stationdata)",
             std::string("Using certificate ") + kSubject, "Remote URL: https://mdm.example/prices",
             "Connection: Connecting 10.1.2.3:443", "SSL: Certificate subject: CN=mdm.example",
             "SSL: Certificate issuer: CN=Some CA",
             "SSL: Handshake complete: TLSv1.2, ECDHE-RSA-AES256-GCM-SHA384",
             "Server answered: HTTP/1.1 200 OK", "SOAP: Server acknowledged transaction",
             "Transaction successfull"}));
  // The operator sees the status line during the blocking send.
  EXPECT_EQ(info_while_sending, "06.12.2026 09:05:00 Übertragung an MTS");
  EXPECT_EQ(repaints_while_sending, 1);

  ASSERT_EQ(transport_.requests.size(), 1u);
  const HttpsRequest& r = transport_.requests[0];
  EXPECT_EQ(r.cert_store, "MY");
  EXPECT_EQ(r.cert_subject, kSubject);
  EXPECT_EQ(r.user_agent, "Quillon-Velunor V1.20");
  EXPECT_TRUE(r.follow_redirects);
  EXPECT_EQ(r.content_type, "text/xml;charset=utf-8");
  EXPECT_EQ(r.body, transmission_.SendeDaten);
  EXPECT_EQ(r.url, "https://mdm.example/prices");
  EXPECT_TRUE(t_.ErrorLines().empty()) << "the transaction writes no error log";
}

TEST_F(SoapTransactionTest, TheAnswerDecidesByTheLastResponseOnThePath) {
  struct Case {
    std::string name;
    std::string body;
    Lines tail;  // after "Server answered: ..."; the transaction's result follows its last line
  };
  const std::string ok = "Transaction successfull";
  const std::string failed = "Transaction failed!";
  const Lines acknowledged = {"SOAP: Server acknowledged transaction", ok};
  const Lines parse_error = {"SOAP-Parse-Error!", failed};
  const Lines key_missing = {"SOAP-Key /Envelope/Body/d2LogicalModel/exchange/response not found!",
                             failed};
  const auto refused = [&](const std::string& why) {
    return Lines{"SOAP: Server tell us: " + why, failed};
  };
  const std::string ack = "<response>acknowledge</response>";
  const std::vector<Case> cases = {
      {"without declaration", Answer(ack, false), acknowledged},
      {"other prefixes, white space around the text",
       "<?xml version=\"1.0\"?>\n<e:Envelope xmlns:e=\"urn:x\"><e:Body>"
       "<m:d2LogicalModel xmlns:m=\"urn:m\"><m:exchange><m:response>\n  acknowledge\t\r\n"
       "</m:response></m:exchange></m:d2LogicalModel></e:Body></e:Envelope>",
       acknowledged},
      // The envelope is the first node and has to be an element.
      {"a comment before the envelope",
       "<?xml version=\"1.0\"?><!-- MDM -->\n" + Answer(ack, false),
       {"ERR: 13 Type mismatch: the answer's first node is a comment, not the envelope element "
        "Zeile: 7",
        failed}},
      {"a processing instruction before the envelope",
       "<?mdm v2?>" + Answer(ack, false),
       {"ERR: 13 Type mismatch: the answer's first node is a processing instruction, not the "
        "envelope element Zeile: 7",
        failed}},
      {"capitals are a refusal", Answer("<response>Acknowledge</response>"),
       refused("Acknowledge")},
      {"one letter more is a refusal", Answer("<response>acknowledged</response>"),
       refused("acknowledged")},
      {"acknowledge then a refusal",
       Answer(ack + "<response>denied</response>"),
       {"SOAP: Server acknowledged transaction", "SOAP: Server tell us: denied", failed}},
      {"a refusal then acknowledge",
       Answer("<response>denied</response>" + ack),
       {"SOAP: Server tell us: denied", "SOAP: Server acknowledged transaction", ok}},
      {"text in CDATA and below child elements",
       Answer("<response><![CDATA[denied: ]]><reason>Preis <b>fehlt</b></reason></response>"),
       refused("denied: Preis fehlt")},
      {"Latin-1 answer",
       std::string("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>") +
           "<E><Body><d2LogicalModel><exchange><response>Preis ung\xFCltig"
           "</response></exchange></d2LogicalModel></Body></E>",
       refused("Preis ungültig")},
      {"empty answer", "", parse_error},
      {"error page", "<html><body><h1>Wartung</h1><br></body></html>", parse_error},
      {"body without exchange",
       "<S:Envelope xmlns:S=\"urn:s\"><S:Body><d2LogicalModel/></S:Body></S:Envelope>",
       key_missing},
      // Not well-formed, or not namespace-well-formed, however much an
      // "acknowledge" it holds: a real XML parser's verdict.
      {"undeclared namespace prefix",
       "<x:Envelope><x:Body><d2LogicalModel><exchange>" + ack +
           "</exchange></d2LogicalModel></x:Body></x:Envelope>",
       parse_error},
      {"a bare ampersand", Answer(ack + "<note>A & B</note>"), parse_error},
      {"two root elements", Answer(ack) + "<Envelope/>", parse_error},
      {"text after the root element", Answer(ack) + "trailing", parse_error},
      {"a duplicated attribute", Answer("<response a=\"1\" a=\"2\">acknowledge</response>"),
       parse_error},
      {"a document type declaration with an entity",
       "<!DOCTYPE E [<!ENTITY ack \"acknowledge\">]><E><Body><d2LogicalModel><exchange>"
       "<response>&ack;</response></exchange></d2LogicalModel></Body></E>",
       parse_error},
      {"response off the path",
       "<Envelope><Body>" + ack + "<d2LogicalModel><payload><exchange>" + ack +
           "</exchange></payload></d2LogicalModel></Body></Envelope>",
       key_missing},
  };
  for (const Case& c : cases) {
    komm_.lines.clear();
    transport_.answer = {"HTTP/1.1 200 OK", c.body};
    EXPECT_EQ(Run().ok(), c.tail.back() == ok) << c.name;
    Lines expected = {"Server answered: HTTP/1.1 200 OK"};
    expected.insert(expected.end(), c.tail.begin(), c.tail.end());
    EXPECT_EQ(Tail(), expected) << c.name;
  }
}

TEST_F(SoapTransactionTest, ATransportFailureIsLoggedWithItsStepAndFails) {
  transport_.during_send = [](TlsEvents& e) {
    e.SOAP1_ConnectionStatus("Connecting", 0, "127.0.0.1:8443");
    bool accept = false;
    e.SOAP1_SSLServerAuthentication("", "CN=127.0.0.1", "CN=Unknown Test CA",
                                    "unable to get local issuer certificate", accept);
  };
  transport_.failure =
      Failure(60, "SSL certificate problem: unable to get local issuer certificate");
  EXPECT_EQ(Run().code(), kErrTransmissionFailed);
  EXPECT_EQ(Tail(), (Lines{"Connection: Connecting 127.0.0.1:8443",
                           "SSL: Certificate subject: CN=127.0.0.1",
                           "SSL: Certificate issuer: CN=Unknown Test CA",
                           "SSL: The following problems have been determined for this certificate:",
                           "SSL: unable to get local issuer certificate",
                           "ERR: 60 SSL certificate problem: unable to get local issuer "
                           "certificate Zeile: 5",
                           "Transaction failed!"}));

  // Nothing is kept between transactions: the next one starts afresh.
  komm_.lines.clear();
  transport_.failure.reset();
  transport_.during_send = nullptr;
  transport_.answer = {"HTTP/1.1 200 OK", Answer("<response>acknowledge</response>")};
  EXPECT_TRUE(Run().ok());
  EXPECT_EQ(komm_.lines.back(), "Transaction successfull");
}

}  // namespace
}  // namespace velunor
