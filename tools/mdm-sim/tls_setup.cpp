#include "tools/mdm-sim/tls_setup.h"

#include <cerrno>
#include <cstdio>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include "shared/cert_store.h"

namespace mdmsim {

namespace {

std::string Errors() {
  std::string text;
  while (const unsigned long e = ERR_get_error()) {
    char buf[256];
    ERR_error_string_n(e, buf, sizeof buf);
    if (!text.empty()) text += "; ";
    text += buf;
  }
  return text;
}

std::string SubjectOf(X509* cert) {
  if (cert == nullptr) return "";
  unsigned char* der = nullptr;
  const int n = i2d_X509(cert, &der);
  if (n <= 0) return "";
  const auto details =
      velunor::DescribeCertificateDer(std::string(reinterpret_cast<char*>(der), n));
  OPENSSL_free(der);
  return details ? details->subject : "";
}

SimLog* LogOf(const SSL* ssl) {
  return static_cast<SimLog*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
}

int OnVerify(int ok, X509_STORE_CTX* store) {
  if (ok != 1) {
    const SSL* ssl = static_cast<const SSL*>(
        X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    if (SimLog* log = LogOf(ssl)) {
      log->Line(std::string("client certificate refused: ") +
                X509_verify_cert_error_string(X509_STORE_CTX_get_error(store)) + " (" +
                SubjectOf(X509_STORE_CTX_get_current_cert(store)) + ")");
    }
  }
  return ok;
}

void OnInfo(const SSL* ssl, int where, int value) {
  if (!(where & SSL_CB_ALERT) || (value >> 8) != SSL3_AL_FATAL) return;
  if (SimLog* log = LogOf(ssl)) {
    log->Line(std::string("TLS alert ") + ((where & SSL_CB_READ) ? "received: " : "sent: ") +
              SSL_alert_desc_string_long(value));
  }
}

}  // namespace

velunor::Status SetUpTls(SSL_CTX* ctx, const TlsFiles& files, SimLog* log) {
  const auto failed = [](const std::string& what) {
    return velunor::Status::Error(EPROTO, what + ": " + Errors());
  };
  if (SSL_CTX_use_certificate_chain_file(ctx, files.certificate.c_str()) != 1) {
    return failed("server certificate " + files.certificate);
  }
  if (SSL_CTX_use_PrivateKey_file(ctx, files.key.c_str(), SSL_FILETYPE_PEM) != 1 ||
      SSL_CTX_check_private_key(ctx) != 1) {
    return failed("server key " + files.key);
  }
  STACK_OF(X509_NAME)* names = SSL_load_client_CA_file(files.client_ca.c_str());
  if (names == nullptr ||
      SSL_CTX_load_verify_locations(ctx, files.client_ca.c_str(), nullptr) != 1) {
    if (names != nullptr) sk_X509_NAME_pop_free(names, X509_NAME_free);
    return failed("client CA " + files.client_ca);
  }
  SSL_CTX_set_client_CA_list(ctx, names);
  SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT, &OnVerify);
  SSL_CTX_set_min_proto_version(ctx, files.version);
  SSL_CTX_set_max_proto_version(ctx, files.version);
  SSL_CTX_set_options(ctx, SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION);
  SSL_CTX_set_app_data(ctx, log);
  SSL_CTX_set_info_callback(ctx, &OnInfo);
  return velunor::Status();
}

std::string ClientSubject(const SSL* ssl) {
  return ssl != nullptr ? SubjectOf(SSL_get0_peer_certificate(ssl)) : "";
}

std::string FileSubject(const std::string& pem_file) {
  FILE* f = std::fopen(pem_file.c_str(), "rb");
  if (f == nullptr) return "";
  X509* cert = PEM_read_X509(f, nullptr, nullptr, nullptr);
  std::fclose(f);
  ERR_clear_error();
  const std::string subject = SubjectOf(cert);
  X509_free(cert);
  return subject;
}

}  // namespace mdmsim
