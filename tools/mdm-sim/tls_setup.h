// The simulator's TLS side, set up like the MTS-K endpoint: server
// certificate and key, client certificates demanded and checked against one
// CA, and exactly one protocol version. Handshake refusals are reported to
// the console.
#pragma once

#include <string>

#include <openssl/ssl.h>

#include "shared/status.h"
#include "tools/mdm-sim/sim_log.h"

namespace mdmsim {

struct TlsFiles {
  std::string certificate;  // PEM, server certificate (and chain)
  std::string key;          // PEM, its key
  std::string client_ca;    // PEM, CA whose client certificates are accepted
  int version = TLS1_2_VERSION;
};

// Configures `ctx`; not ok when a file is missing or unusable: which and
// OpenSSL's words. `log` must outlive every connection.
velunor::Status SetUpTls(SSL_CTX* ctx, const TlsFiles& files, SimLog* log);

// The subject of the client certificate of `ssl`, as the certificate store
// shows it; empty when there is none.
std::string ClientSubject(const SSL* ssl);

// The subject of the first certificate in the PEM file; empty when unreadable.
std::string FileSubject(const std::string& pem_file);

}  // namespace mdmsim
