// The transport's hooks into each TLS connection libcurl opens: the store
// "Root" as additional trust anchors, the host name in OpenSSL's own check,
// and callbacks that report the server certificate's verdict, the handshake
// and the server's alerts to TlsEvents. Internal to the transport; the
// verdict is OpenSSL's and is never changed here.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <openssl/ssl.h>

#include "service/transmission/tls_events.h"
#include "shared/status.h"

namespace velunor::tls {

// What one transfer's connections share; lives for the whole Send.
struct TlsSession {
  TlsSession(TlsEvents& e, std::string trusted, std::function<std::string()> peer_of_transfer)
      : events(e), trusted_pem(std::move(trusted)), peer(std::move(peer_of_transfer)) {}

  struct ConnectionFlags {
    bool connected_reported = false;
    bool certificate_reported = false;
  };

  TlsEvents& events;
  std::string trusted_pem;  // certificates of the store "Root", PEM
  // The system's CA bundle, parsed by SystemTrust; they outlive the session.
  std::vector<X509*> system_anchors;
  // The address the transfer is connected to ("127.0.0.1:443"); the socket
  // itself is hidden behind libcurl's own I/O layer.
  std::function<std::string()> peer;
  std::map<const SSL*, ConnectionFlags> connections;
};

// Prepares a new SSL_CTX for a connection to `host` (a name or an IP
// literal; empty leaves the name check to libcurl alone). Not ok when the
// trust anchors cannot be added.
Status ConfigureSslContext(SSL_CTX* ctx, TlsSession& session, const std::string& host);

}  // namespace velunor::tls
