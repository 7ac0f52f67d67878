// The real HTTPS transport: libcurl over OpenSSL, TLS 1.2 only, the client
// certificate and key taken from the certificate store, the server checked
// against the system's CA bundle plus the store "Root", HTTPS only; a
// redirect is followed, a few times at most, also to another server, but
// only over https and only when the answer names one target; the time-out
// holds for the whole transmission. One connection per request; nothing is
// kept between requests.
// Not thread-safe: one Send at a time.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "service/common/failure.h"
#include "service/transmission/https_transport.h"
#include "service/transmission/system_trust.h"
#include "shared/cert_store.h"

namespace velunor {

class CurlTransport : public HttpsTransport {
 public:
  struct Options {
    // The whole request, connection to last answer byte.
    std::chrono::milliseconds timeout{60000};
    // Store whose certificates are trusted besides the system's bundle.
    std::string trust_store = "Root";
    // An answer beyond this is refused rather than held in memory.
    std::size_t max_answer_bytes = 16 * 1024 * 1024;
    int max_redirects = 5;
  };

  // `certs` must outlive the transport.
  explicit CurlTransport(const CertStore& certs);
  CurlTransport(const CertStore& certs, Options options);
  ~CurlTransport() override;
  CurlTransport(const CurlTransport&) = delete;
  CurlTransport& operator=(const CurlTransport&) = delete;

  // An answer from another server than the request's names the URL it came
  // from in `moved_to`. Throws Failure: kErrClientCertificateNotFound /
  // kErrClientCertificateUnusable before any connection; libcurl's code with
  // its message for connection, TLS and time-out failures (the time-out
  // counted from the first request); the HTTP status for an answer outside
  // 2xx; kErrAnswerTooLarge; kErrRedirectRefused for a redirect to an address
  // without https or one with more than one Location, naming them; libcurl's
  // "too many redirects" past max_redirects. The private key never appears
  // in a message.
  HttpsAnswer Send(const HttpsRequest& request, TlsEvents& events) override;

 private:
  // One request to `url`: its answer, or the redirect candidate of a 3xx.
  struct Attempt {
    HttpsAnswer answer;
    bool redirect = false;
    long status = 0;
    std::string target;                  // resolved as libcurl would follow it
    std::vector<std::string> locations;  // the answer's Location headers
  };
  // `left`: the time this request may take; `limit`: the whole transmission's.
  Attempt Perform(const HttpsRequest& request, const std::string& url, bool post,
                  const ClientCredentials& credentials, const std::string& trusted,
                  std::chrono::milliseconds left, std::chrono::milliseconds limit,
                  TlsEvents& events);

  const CertStore& certs_;
  Options options_;
  SystemTrust system_trust_;
};

}  // namespace velunor
