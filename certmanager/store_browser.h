// The certificate-store component of Kestrin (`CertMgr1`): the names of the
// stores and the certificates of one store, with every reason why a store or
// a file of it could not be read, so the window can say so and list the rest.
// Reads the disk on every call; keeps no state.
#pragma once

#include <string>
#include <vector>

#include "shared/cert_store.h"
#include "shared/status.h"

namespace velunor {

struct StoreNames {
  std::vector<std::string> names;  // sorted
  Status status;                   // "path: reason" when the store root cannot be read
};

struct StoreContents {
  StoreListing listing;  // certificates, and "file: reason" for each unreadable file
  Status status;         // "path: reason" when the store directory cannot be read
};

class CertMgr {
 public:
  virtual ~CertMgr() = default;
  virtual StoreNames Stores() const = 0;
  virtual StoreContents List(const std::string& store) const = 0;
};

// Over the directory store that the service uses, so that the subjects listed
// are the very texts by which the service selects its certificate.
class DirectoryCertMgr : public CertMgr {
 public:
  // `store` must outlive this object.
  explicit DirectoryCertMgr(const DirectoryCertStore& store) : store_(store) {}

  StoreNames Stores() const override;
  StoreContents List(const std::string& store) const override;

 private:
  const DirectoryCertStore& store_;
};

}  // namespace velunor
