// The certificates of the system's CA bundle, the file libcurl would read on
// every transfer: parsed once and again only when the file changes. Parsing
// its hundred and more certificates cost a transfer more CPU than the rest
// of the price chain's work together; a changed bundle (an update of
// ca-certificates) still counts from the next transfer. Single-threaded.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include <openssl/x509.h>

#include "shared/cert_file.h"

namespace velunor {

class SystemTrust {
 public:
  // Out of line, where OpenSSL frees what was parsed.
  SystemTrust();
  ~SystemTrust();

  // The certificates of `bundle` (a PEM file), read when it is new or its
  // size, time or inode changed since the last call; none when there is no
  // such file or it holds none. Valid until the next call.
  const std::vector<X509*>& Certificates(const std::string& bundle);

 private:
  struct Identity {
    std::string path;
    ino_t inode = 0;
    off_t size = -1;
    timespec modified{};
  };

  Identity read_;
  std::vector<certfile::X509Ptr> owned_;
  std::vector<X509*> certificates_;
};

}  // namespace velunor
