#include "service/transmission/soap_envelope.h"

#include <gtest/gtest.h>

namespace velunor {
namespace {

TEST(SoapEnvelopeTest, WrapsThePublicationByteForByte) {
  // A publication ends with CR LF, so an empty line stands before the closing tags,
  // and German letters pass through as their UTF-8 bytes.
  const std::string body =
      "<d2LogicalModel modelBaseVersion=\"2\">\r\n<name>M\xC3\xBCller &amp; S\xC3\xB6hne</name>\r\n"
      "</d2LogicalModel>\r\n";
  EXPECT_EQ(SOAPEnvelope(body),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
            "<S:Envelope xmlns:S=\"http://schemas.xmlsoap.org/soap/envelope/\">\r\n"
            "<S:Header/><S:Body>\r\n" +
                body +
                "\r\n"
                "</S:Body></S:Envelope>");
  EXPECT_EQ(SOAPEnvelope(""),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
            "<S:Envelope xmlns:S=\"http://schemas.xmlsoap.org/soap/envelope/\">\r\n"
            "<S:Header/><S:Body>\r\n\r\n</S:Body></S:Envelope>");
}

}  // namespace
}  // namespace velunor
