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

namespace velunor {

class SystemTrust {
 public:
  SystemTrust();
  ~SystemTrust();
  SystemTrust(const SystemTrust&) = delete;
  SystemTrust& operator=(const SystemTrust&) = delete;

  // The certificates of `bundle` (a PEM file), read when it is new or its
  // size, time or inode changed since the last call; none when there is no
  // such file or it holds none. Valid until the next call.
  const std::vector<X509*>& Certificates(const std::string& bundle);

 private:
  struct X509Free {
    void operator()(X509* x) const { X509_free(x); }
  };
  struct Identity {
    std::string path;
    ino_t inode = 0;
    off_t size = -1;
    timespec modified{};
  };

  Identity read_;
  std::vector<std::unique_ptr<X509, X509Free>> owned_;
  std::vector<X509*> certificates_;
};

}  // namespace velunor
