#include "service/transmission/curl_transport.h"

#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <vector>

#include <curl/curl.h>

#include "service/common/failure.h"
#include "service/common/text.h"
#include "service/transmission/openssl_hooks.h"
#include "service/transmission/socket_address.h"
#include "shared/free_with.h"

namespace velunor {

namespace {

using CurlFree = FreeWith<curl_easy_cleanup>;
using SlistFree = FreeWith<curl_slist_free_all>;
using UrlFree = FreeWith<curl_url_cleanup>;

// Everything the callbacks of one Send need; Send closes the easy handle
// before this goes, so it outlives every callback.
struct Transfer {
  Transfer(CURL* handle, TlsEvents& e, std::string trusted, std::size_t max_bytes)
      : curl(handle),
        events(e),
        tls(e, std::move(trusted), [this] { return Peer(); }),
        max_answer_bytes(max_bytes) {}

  // "ip:port" of the connection the transfer uses right now.
  std::string Peer() const {
    char* ip = nullptr;
    long port = 0;
    if (curl_easy_getinfo(curl, CURLINFO_PRIMARY_IP, &ip) != CURLE_OK || ip == nullptr ||
        *ip == '\0' || curl_easy_getinfo(curl, CURLINFO_PRIMARY_PORT, &port) != CURLE_OK) {
      return "";
    }
    const std::string address(ip);
    const std::string host = address.find(':') != std::string::npos ? "[" + address + "]" : address;
    return host + ":" + std::to_string(port);
  }

  CURL* curl;
  TlsEvents& events;
  tls::TlsSession tls;
  std::size_t max_answer_bytes;
  std::string status_line;
  long status = 0;
  std::vector<std::string> locations;  // of the last answer, as sent
  std::string body;
  bool too_large = false;
  std::string ssl_setup_error;
};

// "scheme://host:port" of `url`, which may be relative to `base`; "" when it
// cannot be read.
std::string Origin(const std::string& base, const std::string& url) {
  std::unique_ptr<CURLU, UrlFree> parsed(curl_url());
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK ||
      curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
    return "";
  }
  std::string origin;
  for (const auto& [part, separator] :
       {std::pair{CURLUPART_SCHEME, "://"}, std::pair{CURLUPART_HOST, ":"},
        std::pair{CURLUPART_PORT, ""}}) {
    char* text = nullptr;
    if (curl_url_get(parsed.get(), part, &text, CURLU_DEFAULT_PORT) != CURLUE_OK) return "";
    origin += std::string(text) + separator;
    curl_free(text);
  }
  return origin;
}

bool StartsWithNoCase(const std::string& s, const char* prefix) {
  for (size_t i = 0; prefix[i] != '\0'; ++i) {
    if (i >= s.size() ||
        std::tolower(static_cast<unsigned char>(s[i])) != static_cast<unsigned char>(prefix[i])) {
      return false;
    }
  }
  return true;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  if (t->body.size() + n > t->max_answer_bytes) {
    t->too_large = true;
    return 0;  // libcurl ends the transfer
  }
  t->body.append(data, n);
  return n;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  const std::string line(data, n);
  if (line.rfind("HTTP/", 0) == 0) {
    t->status_line = Trim(line, kWhiteSpace);
    const size_t blank = t->status_line.find(' ');
    t->status = blank == std::string::npos ? 0 : std::atol(t->status_line.c_str() + blank + 1);
    t->locations.clear();
  } else if (StartsWithNoCase(line, "location:")) {
    t->locations.push_back(Trim(line.substr(9), kWhiteSpace));
  }
  return n;
}

curl_socket_t OnOpenSocket(void* user, curlsocktype /*purpose*/, curl_sockaddr* address) {
  auto* t = static_cast<Transfer*>(user);
  try {
    t->events.SOAP1_ConnectionStatus("Connecting", 0, SocketAddressText(&address->addr));
  } catch (...) {
  }
  return socket(address->family, address->socktype, address->protocol);
}

// The host of the URL libcurl is about to connect to (after a redirect, the
// new one); brackets of an IPv6 literal removed. Empty when not plain ASCII,
// which leaves the name check to libcurl.
std::string HostOf(CURL* curl) {
  char* url = nullptr;
  if (curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &url) != CURLE_OK || url == nullptr)
    return "";
  std::unique_ptr<CURLU, UrlFree> parsed(curl_url());
  char* host = nullptr;
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url, 0) != CURLUE_OK ||
      curl_url_get(parsed.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK) {
    return "";
  }
  std::string h = host;
  curl_free(host);
  if (h.size() > 2 && h.front() == '[' && h.back() == ']') h = h.substr(1, h.size() - 2);
  for (char c : h) {
    if (static_cast<unsigned char>(c) >= 0x80) return "";
  }
  return h;
}

CURLcode OnSslContext(CURL* curl, void* ssl_ctx, void* user) {
  auto* t = static_cast<Transfer*>(user);
  if (Status configured =
          tls::ConfigureSslContext(static_cast<SSL_CTX*>(ssl_ctx), t->tls, HostOf(curl));
      !configured.ok()) {
    t->ssl_setup_error = configured.message();
    return CURLE_SSL_CACERT_BADFILE;
  }
  return CURLE_OK;
}

std::string Seconds(std::chrono::milliseconds ms) {
  if (ms.count() % 1000 == 0) return std::to_string(ms.count() / 1000) + " s";
  return std::to_string(ms.count()) + " ms";
}

template <class T>
void Set(CURL* curl, CURLoption option, T value) {
  const CURLcode code = curl_easy_setopt(curl, option, value);
  if (code != CURLE_OK) {
    throw Failure(code, std::string("libcurl refused a setting: ") + curl_easy_strerror(code));
  }
}

Failure TimedOut(std::chrono::milliseconds limit) {
  return Failure(CURLE_OPERATION_TIMEDOUT,
                 std::string(curl_easy_strerror(CURLE_OPERATION_TIMEDOUT)) +
                     ": no complete answer within " + Seconds(limit));
}

// The answer of a finished transfer, or the failure that ended it; `limit`
// is the whole transmission's.
HttpsAnswer Outcome(CURLcode code, long status, const char* error_text, Transfer& transfer,
                    std::size_t max_answer_bytes, std::chrono::milliseconds limit) {
  if (transfer.too_large) {
    throw Failure(kErrAnswerTooLarge,
                  "The answer is larger than " + std::to_string(max_answer_bytes) + " bytes");
  }
  if (code == CURLE_OPERATION_TIMEDOUT) throw TimedOut(limit);
  if (code != CURLE_OK) {
    std::string text = error_text[0] != '\0' ? error_text : curl_easy_strerror(code);
    if (!transfer.ssl_setup_error.empty()) text = transfer.ssl_setup_error;
    throw Failure(code, text);
  }
  if (status < 200 || status > 299) {
    throw Failure(static_cast<int32_t>(status), "Server answered with " + transfer.status_line);
  }
  return HttpsAnswer{transfer.status_line, std::move(transfer.body)};
}

}  // namespace

CurlTransport::CurlTransport(const CertStore& certs) : CurlTransport(certs, Options{}) {}

CurlTransport::CurlTransport(const CertStore& certs, Options options)
    : certs_(certs), options_(std::move(options)) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
}

CurlTransport::~CurlTransport() { curl_global_cleanup(); }

HttpsAnswer CurlTransport::Send(const HttpsRequest& request, TlsEvents& events) {
  const ClientCredentials credentials =
      certs_.LoadClientCredentials(request.cert_store, request.cert_subject);
  if (credentials.status.code() == kCredentialsNotFound) {
    throw Failure(kErrClientCertificateNotFound,
                  "Client certificate not found: " + credentials.status.message());
  }
  if (!credentials.status.ok()) {
    throw Failure(kErrClientCertificateUnusable,
                  "Client certificate unusable: " + credentials.status.message());
  }
  const std::string trusted = certs_.TrustedCertificatesPem(options_.trust_store);
  const std::string origin = Origin(request.url, request.url);

  // One time-out for the whole transmission, redirects included, and never
  // past the caller's deadline.
  const auto start = std::chrono::steady_clock::now();
  auto deadline = start + options_.timeout;
  if (request.deadline && *request.deadline < deadline) deadline = *request.deadline;
  const auto limit =
      std::max(std::chrono::milliseconds(0),
               std::chrono::duration_cast<std::chrono::milliseconds>(deadline - start));

  try {
    // Redirects are followed here, not by libcurl: the target is checked
    // before anything is sent to it, whatever the answer's headers say.
    std::string url = request.url;
    bool post = !request.connect_only;
    for (int redirects = 0;; ++redirects) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) throw TimedOut(limit);
      Attempt attempt = Perform(request, url, post, credentials, trusted, left, limit, events);
      if (!attempt.redirect) {
        // Another server answered: the authority has moved its endpoint.
        if (Origin(url, url) != origin) attempt.answer.moved_to = url;
        return std::move(attempt.answer);
      }
      if (attempt.locations.size() > 1) {
        std::string all;
        for (const std::string& location : attempt.locations) {
          all += (all.empty() ? "" : ", ") + location;
        }
        throw Failure(kErrRedirectRefused, "Redirect with more than one Location refused: " + all);
      }
      // Another server is followed as the first one was: over https, its
      // certificate verified against the same trust, within the same time.
      if (Origin(attempt.target, attempt.target).rfind("https://", 0) != 0) {
        throw Failure(kErrRedirectRefused,
                      "Redirect to an address without https refused: " + attempt.target);
      }
      if (redirects >= options_.max_redirects) {
        throw Failure(
            CURLE_TOO_MANY_REDIRECTS,
            "Maximum (" + std::to_string(options_.max_redirects) + ") redirects followed");
      }
      events.SOAP1_ConnectionStatus("Redirected", static_cast<int>(attempt.status),
                                    attempt.locations.front());
      // A moved service keeps receiving the publication; only "see other"
      // asks for the result with a GET.
      if (attempt.status == 303) post = false;
      url = attempt.target;
    }
  } catch (const Failure& f) {
    // A failure with a certificate that is not valid now: that is the likely cause.
    if (credentials.validity_problem.empty()) throw;
    throw Failure(f.number(), f.description() + "; " + credentials.validity_problem);
  }
}

CurlTransport::Attempt CurlTransport::Perform(const HttpsRequest& request, const std::string& url,
                                              bool post, const ClientCredentials& credentials,
                                              const std::string& trusted,
                                              std::chrono::milliseconds left,
                                              std::chrono::milliseconds limit, TlsEvents& events) {
  std::unique_ptr<CURL, CurlFree> handle(curl_easy_init());
  if (!handle) throw Failure(CURLE_FAILED_INIT, "libcurl cannot start a transfer");
  CURL* curl = handle.get();
  Transfer transfer(curl, events, trusted, options_.max_answer_bytes);
  std::unique_ptr<curl_slist, SlistFree> headers;
  char error_text[CURL_ERROR_SIZE] = "";
  // Closing the connection still calls back into `transfer` and may write the
  // error text: the handle is closed before any of them goes, on every way out.
  struct CloseFirst {
    std::unique_ptr<CURL, CurlFree>& handle;
    ~CloseFirst() { handle.reset(); }
  } close_first{handle};

  Set(curl, CURLOPT_ERRORBUFFER, error_text);
  Set(curl, CURLOPT_NOSIGNAL, 1L);
  Set(curl, CURLOPT_URL, url.c_str());
  // HTTPS only: the publication never goes out in clear.
  Set(curl, CURLOPT_PROTOCOLS_STR, "https");
  Set(curl, CURLOPT_FOLLOWLOCATION, 0L);
  Set(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  Set(curl, CURLOPT_SSLVERSION,
      static_cast<long>(CURL_SSLVERSION_TLSv1_2) | static_cast<long>(CURL_SSLVERSION_MAX_TLSv1_2));
  Set(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  Set(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  // Each transfer sets up its trust anew, so a changed store "Root" counts
  // at once. The system's bundle comes parsed from SystemTrust instead of
  // from libcurl reading the file again; without it, the store "Root" alone
  // decides.
  Set(curl, CURLOPT_CA_CACHE_TIMEOUT, 0L);
  char* bundle = nullptr;
  if (curl_easy_getinfo(curl, CURLINFO_CAINFO, &bundle) == CURLE_OK && bundle != nullptr) {
    transfer.tls.system_anchors = system_trust_.Certificates(bundle);
    Set(curl, CURLOPT_CAINFO, static_cast<const char*>(nullptr));
  }
  Set(curl, CURLOPT_SSL_CTX_FUNCTION, &OnSslContext);
  Set(curl, CURLOPT_SSL_CTX_DATA, &transfer);

  curl_blob cert_blob{const_cast<char*>(credentials.certificate_pem.data()),
                      credentials.certificate_pem.size(), CURL_BLOB_NOCOPY};
  curl_blob key_blob{const_cast<char*>(credentials.private_key_pem.data()),
                     credentials.private_key_pem.size(), CURL_BLOB_NOCOPY};
  Set(curl, CURLOPT_SSLCERT_BLOB, &cert_blob);
  Set(curl, CURLOPT_SSLCERTTYPE, "PEM");
  Set(curl, CURLOPT_SSLKEY_BLOB, &key_blob);
  Set(curl, CURLOPT_SSLKEYTYPE, "PEM");

  Set(curl, CURLOPT_USERAGENT, request.user_agent.c_str());
  headers.reset(curl_slist_append(nullptr, ("Content-Type: " + request.content_type).c_str()));
  // No "Expect: 100-continue" round trip: the body goes out with the request.
  if (!headers || curl_slist_append(headers.get(), "Expect:") == nullptr) {
    throw Failure(CURLE_OUT_OF_MEMORY, curl_easy_strerror(CURLE_OUT_OF_MEMORY));
  }
  Set(curl, CURLOPT_HTTPHEADER, headers.get());
  if (request.connect_only) {
    Set(curl, CURLOPT_CONNECT_ONLY, 1L);
  } else if (post) {
    Set(curl, CURLOPT_POST, 1L);
    Set(curl, CURLOPT_POSTFIELDS, request.body.data());
    Set(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
  }

  Set(curl, CURLOPT_OPENSOCKETFUNCTION, &OnOpenSocket);
  Set(curl, CURLOPT_OPENSOCKETDATA, &transfer);
  Set(curl, CURLOPT_HEADERFUNCTION, &OnHeader);
  Set(curl, CURLOPT_HEADERDATA, &transfer);
  Set(curl, CURLOPT_WRITEFUNCTION, &OnBody);
  Set(curl, CURLOPT_WRITEDATA, &transfer);
  Set(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(left.count()));

  const CURLcode code = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  Attempt attempt;
  if (code == CURLE_OK && request.follow_redirects && status >= 300 && status < 400) {
    // The target libcurl itself would follow: the Location resolved against
    // the URL asked for.
    char* target = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &target) == CURLE_OK && target != nullptr &&
        *target != '\0') {
      attempt.redirect = true;
      attempt.status = status;
      attempt.target = target;
      attempt.locations = transfer.locations;
      return attempt;
    }
  }
  handle.reset();
  if (request.connect_only && code == CURLE_OK) return attempt;
  attempt.answer = Outcome(code, status, error_text, transfer, options_.max_answer_bytes, limit);
  return attempt;
}

}  // namespace velunor
