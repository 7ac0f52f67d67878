#include "shared/cert_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/provider.h>

namespace velunor::certfile {

namespace {

using BioPtr = std::unique_ptr<BIO, FreeWith<BIO_free>>;

// One block of a PEM file as OpenSSL hands it out; key blocks are wiped on release.
struct PemBlock {
  char* name = nullptr;
  char* header = nullptr;
  unsigned char* data = nullptr;
  long length = 0;
  ~PemBlock() {
    OPENSSL_free(name);
    OPENSSL_free(header);
    OPENSSL_clear_free(data, static_cast<size_t>(length));
  }
};

std::string BioText(BIO* bio) {
  char* data = nullptr;
  const long n = BIO_get_mem_data(bio, &data);
  return n > 0 ? std::string(data, static_cast<size_t>(n)) : std::string();
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::string ObjectText(const ASN1_OBJECT* obj) {
  char buf[128];
  const int n = OBJ_obj2txt(buf, sizeof buf, obj, 0);
  return n > 0 ? std::string(buf, static_cast<size_t>(std::min<int>(n, sizeof buf - 1))) : "";
}

std::time_t TimeValue(const ASN1_TIME* t) {
  std::tm tm{};
  if (t == nullptr || ASN1_TIME_to_tm(t, &tm) != 1) return 0;
  return timegm(&tm);
}

bool ReadPem(const std::string& bytes, CertFile* out, std::string* error) {
  BioPtr bio(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
  bool any_block = false;
  for (;;) {
    PemBlock block;
    if (PEM_read_bio(bio.get(), &block.name, &block.header, &block.data, &block.length) != 1) {
      const unsigned long e = ERR_peek_last_error();
      if (ERR_GET_LIB(e) == ERR_LIB_PEM && ERR_GET_REASON(e) == PEM_R_NO_START_LINE) {
        ERR_clear_error();
        break;
      }
      *error = "damaged PEM block: " + OpenSslErrors("unreadable");
      return false;
    }
    any_block = true;
    const std::string name = block.name;
    const unsigned char* p = block.data;
    if (name == "CERTIFICATE" || name == "X509 CERTIFICATE" || name == "TRUSTED CERTIFICATE") {
      X509Ptr cert(name == "TRUSTED CERTIFICATE" ? d2i_X509_AUX(nullptr, &p, block.length)
                                                 : d2i_X509(nullptr, &p, block.length));
      if (!cert) {
        *error = "damaged certificate: " + OpenSslErrors("unreadable");
        return false;
      }
      out->certificates.push_back(std::move(cert));
    } else if (name.size() >= 11 && name.compare(name.size() - 11, 11, "PRIVATE KEY") == 0) {
      const std::string header = block.header != nullptr ? block.header : "";
      if (name == "ENCRYPTED PRIVATE KEY" || header.find("ENCRYPTED") != std::string::npos) {
        *error = "the private key is encrypted; the store takes unencrypted keys only";
        return false;
      }
      if (out->key) {
        *error = "more than one private key";
        return false;
      }
      out->key.reset(d2i_AutoPrivateKey(nullptr, &p, block.length));
      if (!out->key) {
        // The reason text never quotes the key itself.
        *error = "unreadable private key: " + OpenSslErrors("unknown format");
        return false;
      }
    }
    // Other blocks (parameters, CRLs) are not the store's business.
  }
  if (!any_block) {
    // A certificate saved in binary (DER) form under a store name.
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
    X509Ptr cert(d2i_X509(nullptr, &p, static_cast<long>(bytes.size())));
    ERR_clear_error();
    if (cert) out->certificates.push_back(std::move(cert));
  }
  return true;
}

// Older Windows exports encrypt PKCS#12 files with RC2-40 or 3DES, which
// OpenSSL 3 keeps in its legacy provider. Loaded once, at the first file that
// needs it, and unloaded at the end of the process; naming a provider
// explicitly stops the default one from loading by itself, so both are
// loaded. Returns false when the legacy one is missing.
bool LoadLegacyProvider() {
  struct Providers {
    Providers()
        : legacy(OSSL_PROVIDER_load(nullptr, "legacy")),
          standard(OSSL_PROVIDER_load(nullptr, "default")) {
      ERR_clear_error();
    }
    ~Providers() {
      if (legacy != nullptr) OSSL_PROVIDER_unload(legacy);
      if (standard != nullptr) OSSL_PROVIDER_unload(standard);
    }
    OSSL_PROVIDER* legacy;
    OSSL_PROVIDER* standard;
  };
  static const Providers providers;
  return providers.legacy != nullptr && providers.standard != nullptr;
}

bool ParseWithEmptyPassword(PKCS12* p12, EVP_PKEY** key, X509** cert, STACK_OF(X509) * *chain) {
  // Tools write an empty password either as "" or as no password at all.
  if (PKCS12_parse(p12, "", key, cert, chain) == 1) return true;
  ERR_clear_error();
  return PKCS12_parse(p12, nullptr, key, cert, chain) == 1;
}

bool ReadPkcs12(const std::string& bytes, CertFile* out, std::string* error) {
  BioPtr bio(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
  std::unique_ptr<PKCS12, FreeWith<PKCS12_free>> p12(d2i_PKCS12_bio(bio.get(), nullptr));
  if (!p12) {
    *error = "not a PKCS#12 file: " + OpenSslErrors("unreadable");
    return false;
  }
  EVP_PKEY* key = nullptr;
  X509* cert = nullptr;
  STACK_OF(X509)* chain = nullptr;
  if (!ParseWithEmptyPassword(p12.get(), &key, &cert, &chain)) {
    const std::string reason = OpenSslErrors("wrong password");
    if (!LoadLegacyProvider() || !ParseWithEmptyPassword(p12.get(), &key, &cert, &chain)) {
      *error = "cannot open the PKCS#12 file with an empty password: " + OpenSslErrors(reason);
      return false;
    }
  }
  out->key.reset(key);
  if (cert != nullptr) out->certificates.emplace_back(cert);
  if (chain != nullptr) {
    while (sk_X509_num(chain) > 0) out->certificates.emplace_back(sk_X509_shift(chain));
    sk_X509_free(chain);
  }
  return true;
}

}  // namespace

Status ReadCertFile(const std::filesystem::path& file, CertFile* out) {
  *out = CertFile{};
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    const int error_number = errno;
    return Status::Error(error_number,
                         std::string("cannot be opened: ") + std::strerror(error_number));
  }
  // Read in one piece into a buffer of the file's size: a growing buffer
  // would leave copies of the key behind in the memory it gave back.
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(file, ec);
  if (ec) return Status::Error(ec.value(), "cannot be read: " + ec.message());
  if (size > 1024 * 1024) return Status::Error(0, "is larger than a certificate file can be");
  std::string bytes(static_cast<size_t>(size), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  const std::string ext = Lower(file.extension().string());
  std::string error;
  const bool ok = (ext == ".p12" || ext == ".pfx") ? ReadPkcs12(bytes, out, &error)
                                                   : ReadPem(bytes, out, &error);
  OPENSSL_cleanse(bytes.data(), bytes.size());
  if (!ok) return Status::Error(0, error);
  if (out->certificates.empty()) return Status::Error(0, "holds no certificate");
  if (out->key) {
    for (size_t i = 0; i < out->certificates.size(); ++i) {
      if (X509_check_private_key(out->certificates[i].get(), out->key.get()) == 1) {
        out->key_owner = static_cast<int>(i);
        break;
      }
    }
    ERR_clear_error();
    if (out->key_owner < 0) {
      return Status::Error(0, "the private key belongs to none of its certificates");
    }
  }
  return Status();
}

std::string NameText(const X509_NAME* name) {
  // RFC 2253 order and escaping, but ", " between the parts and UTF-8 kept
  // as letters instead of \C3\BC escapes.
  const unsigned long flags =
      (XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB & ~XN_FLAG_SEP_MASK) | XN_FLAG_SEP_CPLUS_SPC;
  BioPtr bio(BIO_new(BIO_s_mem()));
  if (name == nullptr || X509_NAME_print_ex(bio.get(), name, 0, flags) < 0) return "";
  return BioText(bio.get());
}

CertificateDetails Describe(const X509* cert) {
  CertificateDetails d;
  d.subject = NameText(X509_get_subject_name(cert));
  d.issuer = NameText(X509_get_issuer_name(cert));
  d.version = static_cast<int>(X509_get_version(cert)) + 1;

  if (BIGNUM* bn = ASN1_INTEGER_to_BN(X509_get0_serialNumber(cert), nullptr)) {
    if (char* hex = BN_bn2hex(bn)) {
      d.serial_number = hex;
      OPENSSL_free(hex);
    }
    BN_free(bn);
  }

  const X509_ALGOR* sig_alg = nullptr;
  X509_get0_signature(nullptr, &sig_alg, cert);
  if (sig_alg != nullptr) {
    const ASN1_OBJECT* obj = nullptr;
    X509_ALGOR_get0(&obj, nullptr, nullptr, sig_alg);
    d.signature_algorithm = ObjectText(obj);
  }

  d.not_before = TimeValue(X509_get0_notBefore(cert));
  d.not_after = TimeValue(X509_get0_notAfter(cert));

  ASN1_OBJECT* key_alg = nullptr;
  const unsigned char* key_bytes = nullptr;
  int key_length = 0;
  if (X509_PUBKEY_get0_param(&key_alg, &key_bytes, &key_length, nullptr,
                             X509_get_X509_PUBKEY(cert)) == 1) {
    d.public_key_algorithm = ObjectText(key_alg);
    static const char kHex[] = "0123456789ABCDEF";
    d.public_key.reserve(static_cast<size_t>(key_length) * 3);
    for (int i = 0; i < key_length; ++i) {
      if (i > 0) d.public_key += ' ';
      d.public_key += kHex[key_bytes[i] >> 4];
      d.public_key += kHex[key_bytes[i] & 0x0F];
    }
  }
  if (const EVP_PKEY* key = X509_get0_pubkey(cert)) d.public_key_bits = EVP_PKEY_get_bits(key);
  ERR_clear_error();
  return d;
}

std::string CertificatePem(const X509* cert) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  PEM_write_bio_X509(bio.get(), cert);
  return BioText(bio.get());
}

std::string PrivateKeyPem(const EVP_PKEY* key) {
  // A secure-memory BIO is wiped when freed, so no copy of the key lingers.
  BioPtr bio(BIO_new(BIO_s_secmem()));
  if (PEM_write_bio_PKCS8PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1) {
    ERR_clear_error();
    return "";
  }
  return BioText(bio.get());
}

std::string OpenSslErrors(const std::string& fallback) {
  std::string text;
  while (const unsigned long e = ERR_get_error()) {
    const char* reason = ERR_reason_error_string(e);
    char buf[256];
    if (reason == nullptr) {
      ERR_error_string_n(e, buf, sizeof buf);
      reason = buf;
    }
    if (!text.empty()) text += "; ";
    text += reason;
  }
  return text.empty() ? fallback : text;
}

}  // namespace velunor::certfile
