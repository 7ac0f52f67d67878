// The HTTPS client that carries a SOAP request to the MTS-K: one POST with
// a client certificate, blocking until the answer is in. CurlTransport is the
// real one; tests that are about something else use ScriptedTransport.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "service/transmission/tls_events.h"

namespace velunor {

struct HttpsRequest {
  std::string cert_store;    // store of the client certificate ("MY")
  std::string cert_subject;  // its subject, matched exactly
  std::string user_agent;
  bool follow_redirects = true;
  std::string content_type;
  // Sent unchanged; a view of a text that outlives the send, so that a large
  // network's publication is not copied for it.
  std::string_view body;
  std::string url;
  // Only connect and shake hands (TLS with the client certificate), send
  // nothing: the answer is empty when that worked. For the setup check.
  bool connect_only = false;
  // When set: the request has ended by then at the latest, whatever the
  // transport's own time-out; whatever the transport does before sending
  // (the client certificate's load) comes off it.
  std::optional<std::chrono::steady_clock::time_point> deadline{};
};

struct HttpsAnswer {
  std::string status_line;  // e.g. "HTTP/1.1 200 OK", without the line end
  std::string body;         // the answer's bytes as received
  // The URL that answered when redirects led to another server; "" when
  // the request's own server answered.
  std::string moved_to = {};
};

class HttpsTransport {
 public:
  virtual ~HttpsTransport() = default;

  // Sends `request` and returns the final answer. Connection and TLS events
  // go to `events` while sending. Throws Failure when there is no usable
  // answer: client certificate missing or unusable, no connection, TLS
  // handshake or server certificate refused, time-out, an answer status
  // outside 200..299.
  virtual HttpsAnswer Send(const HttpsRequest& request, TlsEvents& events) = 0;
};

}  // namespace velunor
