// Reading one file of the certificate store (PEM or PKCS#12) and the text
// forms of a certificate's fields. Internal to the certificate store: the
// OpenSSL types stay behind cert_store.h. Never asks for a password.
#pragma once

#include <cerrno>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <openssl/evp.h>
#include <openssl/x509.h>

#include "shared/cert_store.h"
#include "shared/free_with.h"
#include "shared/status.h"

namespace velunor::certfile {

using X509Ptr = std::unique_ptr<X509, FreeWith<X509_free>>;
using PkeyPtr = std::unique_ptr<EVP_PKEY, FreeWith<EVP_PKEY_free>>;

struct CertFile {
  std::vector<X509Ptr> certificates;  // in file order
  PkeyPtr key;                        // null when the file holds none
  int key_owner = -1;                 // index of the certificate the key belongs to
};

// Reads `file`: ".p12"/".pfx" as PKCS#12 with an empty password, anything
// else as PEM. Not ok, with a text without key material, when the file
// cannot be read (the code is then the system's error number: EACCES or
// EPERM when this account may not open it), holds no certificate, holds an
// encrypted key, or holds a key that belongs to none of its certificates.
Status ReadCertFile(const std::filesystem::path& file, CertFile* out);

// The account may not open the file ReadCertFile could not read.
inline bool NotPermitted(const Status& read) {
  return read.code() == EACCES || read.code() == EPERM;
}

// The name in RFC 2253 order, ", " between the parts, UTF-8 unescaped.
std::string NameText(const X509_NAME* name);

CertificateDetails Describe(const X509* cert);

std::string CertificatePem(const X509* cert);
// PKCS#8 without encryption.
std::string PrivateKeyPem(const EVP_PKEY* key);

// Takes and clears OpenSSL's error queue: the reasons joined by "; ", or
// `fallback` when the queue is empty.
std::string OpenSslErrors(const std::string& fallback);

}  // namespace velunor::certfile
