// The certificate store shared by the service and Kestrin: a root directory
// with one subdirectory per store ("MY", "Root", ...), each holding ".pem"
// files (certificate with its unencrypted key), ".p12"/".pfx" files with an
// empty password, or CA certificates as ".crt"/".cer" (PEM or DER). Subjects
// read "CN=..., O=..., C=DE" (RFC 2253 order, UTF-8 letters as they are); the
// service selects its client certificate by exactly that text. Reads the disk
// on every call and keeps no state, so calls from several threads are safe.
#pragma once

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "shared/status.h"

namespace velunor {

struct CertificateDetails {
  std::string subject;               // RFC 2253 order, ", " between the parts
  std::string issuer;                // same form
  int version = 0;                   // 1..3
  std::string serial_number;         // hexadecimal, upper case
  std::string signature_algorithm;   // e.g. "sha256WithRSAEncryption"
  std::time_t not_before = 0;        // start of validity
  std::time_t not_after = 0;         // end of validity
  std::string public_key_algorithm;  // e.g. "rsaEncryption"
  int public_key_bits = 0;
  std::string public_key;  // the key's bytes in hexadecimal pairs separated by blanks
};

// "dd.mm.yyyy hh:mm:ss" in local time, the service's usual date form.
std::string FormatValidity(std::time_t when);

// Details of one DER-encoded certificate; nullopt when it cannot be decoded.
std::optional<CertificateDetails> DescribeCertificateDer(const std::string& der);

struct CertificateEntry {
  std::filesystem::path file;
  int index_in_file = 0;  // a PEM file may hold several certificates
  bool has_private_key = false;
  CertificateDetails details;
};

// A file of a store that could not be read.
struct UnreadableFile {
  std::filesystem::path file;
  std::string reason;          // e.g. "cannot be opened: Permission denied"
  bool not_permitted = false;  // this account may not open it
  std::string Text() const;    // "client.p12: reason"
};

struct StoreListing {
  std::vector<CertificateEntry> certificates;  // in file-name order, then file order
  std::vector<UnreadableFile> problems;
};

// The codes of ClientCredentials::status when it is not ok: the store or
// the subject does not exist; the chosen certificate has no key or its file
// cannot be read again.
inline constexpr int32_t kCredentialsNotFound = ENOENT;
inline constexpr int32_t kCredentialsUnusable = EINVAL;

// What the HTTPS transport presents in the handshake. Move-only; the key
// text is overwritten when the object goes.
struct ClientCredentials {
  ClientCredentials() = default;
  ClientCredentials(ClientCredentials&&) = default;
  ClientCredentials& operator=(ClientCredentials&&) = default;
  ClientCredentials(const ClientCredentials&) = delete;
  ClientCredentials& operator=(const ClientCredentials&) = delete;
  ~ClientCredentials();

  // Ok when found and usable; otherwise the code says which and the text
  // why, never with key material.
  Status status = Status::Error(kCredentialsNotFound, "");
  std::string certificate_pem;  // the certificate, then the rest of its chain from the file
  std::string private_key_pem;  // unencrypted PKCS#8
  // kFound, but no certificate of the subject is valid at this moment: says
  // whether it is not yet valid or expired, with the date; "" otherwise.
  std::string validity_problem;
};

class CertStore {
 public:
  virtual ~CertStore() = default;

  // Names of the stores, sorted. Empty when the root does not exist.
  virtual std::vector<std::string> Stores() const = 0;

  // Every certificate of `store`. A PEM file with a key contributes the
  // certificate that belongs to the key (the others are its chain); a file
  // without a key contributes each of its certificates. A missing store is
  // an empty listing.
  virtual StoreListing List(const std::string& store) const = 0;

  // The certificate of `store` whose subject equals `subject` byte for byte.
  // Of several such certificates (an old one beside its renewal), one with a
  // private key wins over one without, then one valid at this moment over one
  // not yet or no longer valid, then the one valid the longest; ties go to
  // the first listed. nullopt when none matches.
  virtual std::optional<CertificateEntry> Choose(const std::string& store,
                                                 const std::string& subject) const = 0;

  // Certificate and key of Choose(store, subject), in PEM; the status says
  // why not (kCredentialsNotFound, kCredentialsUnusable).
  virtual ClientCredentials LoadClientCredentials(const std::string& store,
                                                  const std::string& subject) const = 0;

  // Every certificate of `store` in PEM, one after the other, for use as
  // trust anchors. Empty when the store does not exist.
  virtual std::string TrustedCertificatesPem(const std::string& store) const = 0;
};

// The subjects of a listing, in its order (what Kestrin's list shows).
std::vector<std::string> Subjects(const StoreListing& listing);

class DirectoryCertStore : public CertStore {
 public:
  explicit DirectoryCertStore(std::filesystem::path root) : root_(std::move(root)) {}

  const std::filesystem::path& root() const { return root_; }

  std::vector<std::string> Stores() const override;
  StoreListing List(const std::string& store) const override;
  std::optional<CertificateEntry> Choose(const std::string& store,
                                         const std::string& subject) const override;
  ClientCredentials LoadClientCredentials(const std::string& store,
                                          const std::string& subject) const override;
  std::string TrustedCertificatesPem(const std::string& store) const override;

 private:
  std::vector<std::filesystem::path> StoreFiles(const std::string& store) const;
  static std::optional<CertificateEntry> Choose(const StoreListing& listing,
                                                const std::string& subject);

  std::filesystem::path root_;
};

}  // namespace velunor
