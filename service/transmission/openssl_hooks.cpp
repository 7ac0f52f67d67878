#include "service/transmission/openssl_hooks.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <memory>
#include <optional>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509_vfy.h>

#include "shared/cert_store.h"
#include "shared/free_with.h"

namespace velunor::tls {

namespace {

int SessionIndex() {
  // OpenSSL hands out ex-data slots per process; one is enough for all transfers.
  static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return index;
}

TlsSession* SessionOf(const SSL* ssl) {
  if (ssl == nullptr) return nullptr;
  return static_cast<TlsSession*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), SessionIndex()));
}

std::string Der(X509* cert) {
  unsigned char* buf = nullptr;
  const int n = i2d_X509(cert, &buf);
  if (n <= 0) return "";
  std::string der(reinterpret_cast<char*>(buf), static_cast<size_t>(n));
  OPENSSL_free(buf);
  return der;
}

// Reports the server certificate once per connection, when the verdict is
// known: at the first problem, or when the server certificate itself has passed.
void ReportServerCertificate(int preverify_ok, X509_STORE_CTX* store) {
  const SSL* ssl = static_cast<const SSL*>(
      X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  TlsSession* session = SessionOf(ssl);
  const int depth = X509_STORE_CTX_get_error_depth(store);
  if (session == nullptr || (preverify_ok == 1 && depth != 0)) return;
  TlsSession::ConnectionFlags& flags = session->connections[ssl];
  if (flags.certificate_reported) return;
  flags.certificate_reported = true;

  const std::string der = Der(X509_STORE_CTX_get0_cert(store));
  const std::optional<CertificateDetails> server = DescribeCertificateDer(der);
  std::string status = "ok";
  if (preverify_ok != 1) {
    status = X509_verify_cert_error_string(X509_STORE_CTX_get_error(store));
    if (depth > 0) {
      // The problem lies with a CA certificate of the chain; name it.
      const std::optional<CertificateDetails> ca =
          DescribeCertificateDer(Der(X509_STORE_CTX_get_current_cert(store)));
      if (ca) status += " (" + ca->subject + ")";
    }
  }
  bool accept = preverify_ok == 1;
  session->events.SOAP1_SSLServerAuthentication(der, server ? server->subject : "",
                                                server ? server->issuer : "", status, accept);
}

// Called by OpenSSL for every certificate of the server's chain. Returns
// OpenSSL's own verdict whatever the report does.
int VerifyCallback(int preverify_ok, X509_STORE_CTX* store) {
  try {
    ReportServerCertificate(preverify_ok, store);
  } catch (...) {
    // The handler keeps its own failures; nothing may cross OpenSSL's C frames.
  }
  return preverify_ok;
}

void InfoCallback(const SSL* ssl, int where, int value) {
  TlsSession* session = SessionOf(ssl);
  if (session == nullptr) return;
  try {
    if (where & SSL_CB_HANDSHAKE_START) {
      TlsSession::ConnectionFlags& flags = session->connections[ssl];
      if (!flags.connected_reported) {
        flags.connected_reported = true;
        session->events.SOAP1_ConnectionStatus("Connected", 0,
                                               session->peer ? session->peer() : std::string());
      }
    }
    if (where & SSL_CB_HANDSHAKE_DONE) {
      session->events.SOAP1_SSLStatus(std::string("Handshake complete: ") + SSL_get_version(ssl) +
                                      ", " + SSL_get_cipher_name(ssl));
    }
    // Only the server's fatal alerts tell something: its refusal of our
    // certificate or of the protocol version. Our own alerts repeat what the
    // transport reports anyway, and the closing notice is routine.
    if ((where & SSL_CB_ALERT) && (where & SSL_CB_READ) && (value >> 8) == SSL3_AL_FATAL) {
      session->events.SOAP1_SSLStatus(std::string("Alert received: ") +
                                      SSL_alert_type_string_long(value) + " " +
                                      SSL_alert_desc_string_long(value));
    }
  } catch (...) {
    // As above: handlers log their own failures.
  }
}

Status AddTrustAnchors(SSL_CTX* ctx, const std::string& pem) {
  if (pem.empty()) return Status();
  std::unique_ptr<BIO, FreeWith<BIO_free>> bio(
      BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  X509_STORE* store = SSL_CTX_get_cert_store(ctx);
  while (X509* cert = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr)) {
    const int ok = X509_STORE_add_cert(store, cert);
    X509_free(cert);
    if (ok != 1) {
      const unsigned long error = ERR_get_error();
      ERR_clear_error();
      return Status::Error(static_cast<int32_t>(ERR_GET_REASON(error)),
                           "cannot add a certificate of the store Root to the trusted ones");
    }
  }
  ERR_clear_error();  // the end of the text reads as "no start line"
  return Status();
}

}  // namespace

Status ConfigureSslContext(SSL_CTX* ctx, TlsSession& session, const std::string& host) {
  X509_STORE* store = SSL_CTX_get_cert_store(ctx);
  for (X509* cert : session.system_anchors) {
    if (X509_STORE_add_cert(store, cert) != 1) ERR_clear_error();  // already there
  }
  if (Status added = AddTrustAnchors(ctx, session.trusted_pem); !added.ok()) return added;
  if (!host.empty()) {
    // With the name in OpenSSL's own check, a certificate for another host
    // is refused with the other problems, and the operator sees why.
    X509_VERIFY_PARAM* param = SSL_CTX_get0_param(ctx);
    in6_addr ip{};
    const bool literal =
        inet_pton(AF_INET, host.c_str(), &ip) == 1 || inet_pton(AF_INET6, host.c_str(), &ip) == 1;
    const int ok = literal ? X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str())
                           : X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size());
    if (ok != 1) ERR_clear_error();  // libcurl still checks the name after the handshake
  }
  SSL_CTX_set_ex_data(ctx, SessionIndex(), &session);
  SSL_CTX_set_verify(ctx, SSL_CTX_get_verify_mode(ctx), &VerifyCallback);
  SSL_CTX_set_info_callback(ctx, &InfoCallback);
  return Status();
}

}  // namespace velunor::tls
