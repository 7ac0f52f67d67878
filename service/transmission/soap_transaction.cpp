#include "service/transmission/soap_transaction.h"

#include "service/common/failure.h"
#include "service/common/url_credentials.h"
#include "service/common/zusatzfunktionen.h"
#include "service/transmission/soap_answer.h"
#include "service/transmission/tls_events.h"

namespace velunor {

namespace {

constexpr int16_t kAcknowledged = 0;
constexpr int16_t kRefused = 1;
constexpr int16_t kNoAnswerKey = 9;

// The log must not turn a failed transaction into an exception for the caller.
void LogQuietly(KommLogSink& komm_log, const std::string& line) {
  try {
    komm_log.KommLog(line);
  } catch (...) {
  }
}

}  // namespace

std::string MovedEndpointText(const std::string& old_url, const std::string& new_url) {
  return "Die MTS-K-Adresse " + WithoutCredentials(old_url) + " leitet nach " +
         WithoutCredentials(new_url) + " um; bitte in Kestrin eintragen";
}

const char* ResultName(TransmissionOutcome::Result result) {
  switch (result) {
    case TransmissionOutcome::Result::kAcknowledged:
      return "acknowledged";
    case TransmissionOutcome::Result::kRefused:
      return "refused";
    case TransmissionOutcome::Result::kFailed:
      break;
  }
  return "failed";
}

Status SOAPTransaction(const Transmission& transmission, Env& env, KommLogSink& komm_log,
                       HttpsTransport& transport, TransmissionOutcome* outcome) {
  TransmissionOutcome ignored;
  TransmissionOutcome& out = outcome != nullptr ? *outcome : ignored;
  out = TransmissionOutcome();
  int step = 0;
  int32_t number = 0;
  std::string description;
  try {
    step = 1;
    komm_log.KommLog("Beginning transaction to the MDM-Server (" + transmission.SendeArt + ")");
    step = 2;
    // The send blocks the window; the operator sees this line meanwhile.
    env.service.SetStatusLine({env.clock.Now(), std::nullopt, " Übertragung an MTS"});
    env.host.Repaint();
    step = 3;
    HttpsRequest request;
    request.cert_store = kClientCertificateStore;
    step = 4;
    komm_log.KommLog("Using certificate " + transmission.VerwendetesZertifikat);
    komm_log.KommLog("Remote URL: " + WithoutCredentials(transmission.AktuelleUrl));
    step = 5;
    request.cert_subject = transmission.VerwendetesZertifikat;
    request.user_agent = kUserAgent;
    request.follow_redirects = true;
    request.content_type = kSoapContentType;
    request.body = transmission.SendeDaten;
    request.url = transmission.AktuelleUrl;
    request.deadline = transmission.deadline;
    TlsEventLog events(env.log, komm_log);
    HttpsAnswer answer = transport.Send(request, events);
    step = 6;
    out.status_line = answer.status_line;
    out.answer = answer.body;
    if (!answer.moved_to.empty()) {
      out.moved_to = answer.moved_to;
      komm_log.KommLog(MovedEndpointText(transmission.AktuelleUrl, answer.moved_to));
    }
    komm_log.KommLog("Server answered: " + answer.status_line);
    step = 7;
    const SoapAnswer parsed = ReadSoapAnswer(answer.body);
    if (!parsed.first_node_not_element.empty()) {
      throw Failure(kErrTypeMismatch, "Type mismatch: the answer's first node is a " +
                                          parsed.first_node_not_element +
                                          ", not the envelope element");
    }
    int16_t status = kNoAnswerKey;
    step = 8;
    if (!parsed.parsed) {
      out.error = "SOAP-Parse-Error!";
      komm_log.KommLog("SOAP-Parse-Error!");
    } else {
      step = 10;
      for (const std::string& text : parsed.responses) {
        if (text == "acknowledge") {
          komm_log.KommLog("SOAP: Server acknowledged transaction");
          status = kAcknowledged;
        } else {
          komm_log.KommLog("SOAP: Server tell us: " + text);
          out.error = "Server tell us: " + text;
          status = kRefused;
        }
      }
      step = 11;
      if (status == kNoAnswerKey) {
        out.error = "SOAP-Key /Envelope/Body/d2LogicalModel/exchange/response not found!";
        komm_log.KommLog("SOAP-Key /Envelope/Body/d2LogicalModel/exchange/response not found!");
      }
    }
    step = 12;
    if (status != kAcknowledged) {
      komm_log.KommLog("Transaction failed!");
      if (status != kRefused) return Status::Error(kErrTransmissionFailed, out.error);
      out.result = TransmissionOutcome::Result::kRefused;
      return Status::Error(kErrPublicationRefused, out.error);
    }
    out.result = TransmissionOutcome::Result::kAcknowledged;
    out.error.clear();
    komm_log.KommLog("Transaction successfull");
    return Status();
  } catch (const std::exception&) {
    const CaughtError error = CurrentError();
    number = error.number;
    description = error.description;
  }
  out.result = TransmissionOutcome::Result::kFailed;
  out.error =
      "ERR: " + std::to_string(number) + " " + description + " Zeile: " + std::to_string(step);
  LogQuietly(komm_log, out.error);
  LogQuietly(komm_log, "Transaction failed!");
  return Status::Error(kErrTransmissionFailed, out.error);
}

}  // namespace velunor
