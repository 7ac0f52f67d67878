// One transmission of a publication to the MTS-K: send the SOAP envelope with
// the client certificate, log the server's status, evaluate the answer. Every
// step and every failure goes to the communication log; the result alone
// tells the caller how it went. Runs on the window's thread and blocks it.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "service/common/env.h"
#include "service/common/komm_log_sink.h"
#include "service/common/status.h"
#include "service/transmission/https_transport.h"

namespace velunor {

// The client certificate's store; the service never changes it.
inline constexpr const char* kClientCertificateStore = "MY";
inline constexpr const char* kUserAgent = "Quillon-Velunor V1.20";
inline constexpr const char* kSoapContentType = "text/xml;charset=utf-8";

// The transmission under way, as the scheduler set it up.
struct Transmission {
  std::string SendeDaten;             // the envelope (SOAPEnvelope), sent unchanged
  std::string SendeArt;               // "Stationdata" or "Pricedata"; for the log only
  std::string AktuelleUrl;            // the service URL of this transmission
  std::string VerwendetesZertifikat;  // subject of the client certificate
  // When set: the transmission has ended by then at the latest (the end of
  // the reporter lease), also when the transport's own time-out is longer.
  // A moment, not a length: whatever delays the send, the certificate's load
  // or a process stopped in between, comes off it, so that nothing goes out
  // after the lease has run out and another instance may be reporting.
  std::optional<std::chrono::steady_clock::time_point> deadline{};
};

// How a transmission ended, for the archive and the status page.
struct TransmissionOutcome {
  enum class Result { kAcknowledged, kRefused, kFailed };
  Result result = Result::kFailed;
  std::string status_line;  // the server's, "" when none came
  std::string answer;       // the answer's body, "" when none came
  std::string error;        // why it failed, "" when acknowledged
  // The URL that answered when the service URL redirected to another
  // server; "" otherwise.
  std::string moved_to;
};

// What the communication log says, and the error log once a day, when the
// MTS-K's address `old_url` redirects to `new_url` on another server.
std::string MovedEndpointText(const std::string& old_url, const std::string& new_url);

// "acknowledged", "refused" or "failed".
const char* ResultName(TransmissionOutcome::Result result);

// Ok when the service acknowledged the publication (the last `response`
// found reads "acknowledge"); otherwise kErrPublicationRefused when the
// service refused it, kErrTransmissionFailed when it failed on the way or
// the answer held no verdict, with the outcome's `error`. Writes the
// communication log and the status line `Info` (repainted at once) only;
// the TLS handlers' own failures go to the error log. Never throws: a
// failure at step n of the transaction is logged as
// "ERR: <number> <description> Zeile: <n>" followed by "Transaction failed!".
// The steps: 1 begin, 2 status line, 3 certificate store, 4 certificate and
// URL lines, 5 send (certificate, connection, TLS, HTTP status), 6 server
// status, 7 parse and walk the answer, 8 parse verdict, 10 response texts,
// 11 key check, 12 result.
// `outcome`, when given, receives how it ended.
Status SOAPTransaction(const Transmission& transmission, Env& env, KommLogSink& komm_log,
                       HttpsTransport& transport, TransmissionOutcome* outcome = nullptr);

}  // namespace velunor
