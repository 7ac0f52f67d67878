#include "shared/cert_store.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <system_error>

#include <openssl/crypto.h>
#include <openssl/err.h>

#include "shared/cert_file.h"

namespace velunor {

namespace fs = std::filesystem;

namespace {

bool IsStoreFile(const fs::path& file) {
  std::string ext = file.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext == ".pem" || ext == ".p12" || ext == ".pfx" || ext == ".crt" || ext == ".cer";
}

// A store name names one directory directly below the root, nothing else.
bool IsStoreName(const std::string& store) {
  return !store.empty() && store != "." && store != ".." &&
         store.find_first_of("/\\") == std::string::npos;
}

bool ValidAt(const CertificateEntry& e, std::time_t now) {
  return e.details.not_before <= now && now <= e.details.not_after;
}

// Of two certificates with the same subject (an old one beside its renewal):
// one with a key, then one valid now, then the one valid the longest.
bool Better(const CertificateEntry& a, const CertificateEntry& b, std::time_t now) {
  if (a.has_private_key != b.has_private_key) return a.has_private_key;
  if (ValidAt(a, now) != ValidAt(b, now)) return ValidAt(a, now);
  return a.details.not_after > b.details.not_after;
}

}  // namespace

ClientCredentials::~ClientCredentials() {
  OPENSSL_cleanse(private_key_pem.data(), private_key_pem.size());
}

std::string FormatValidity(std::time_t when) {
  std::tm tm{};
  localtime_r(&when, &tm);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d:%02d", tm.tm_mday, tm.tm_mon + 1,
                tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

std::optional<CertificateDetails> DescribeCertificateDer(const std::string& der) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(der.data());
  certfile::X509Ptr cert(d2i_X509(nullptr, &p, static_cast<long>(der.size())));
  if (!cert) {
    ERR_clear_error();
    return std::nullopt;
  }
  return certfile::Describe(cert.get());
}

std::vector<std::string> Subjects(const StoreListing& listing) {
  std::vector<std::string> subjects;
  for (const CertificateEntry& e : listing.certificates) subjects.push_back(e.details.subject);
  return subjects;
}

std::vector<std::string> DirectoryCertStore::Stores() const {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(root_, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_directory(ec)) names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<fs::path> DirectoryCertStore::StoreFiles(const std::string& store) const {
  std::vector<fs::path> files;
  if (!IsStoreName(store)) return files;
  std::error_code ec;
  for (fs::directory_iterator it(root_ / store, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file(ec) && IsStoreFile(it->path())) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string UnreadableFile::Text() const { return file.filename().string() + ": " + reason; }

StoreListing DirectoryCertStore::List(const std::string& store) const {
  StoreListing listing;
  for (const fs::path& file : StoreFiles(store)) {
    certfile::CertFile content;
    if (const Status read = certfile::ReadCertFile(file, &content); !read.ok()) {
      listing.problems.push_back({file, read.message(), certfile::NotPermitted(read)});
      continue;
    }
    for (size_t i = 0; i < content.certificates.size(); ++i) {
      const bool owner = content.key_owner == static_cast<int>(i);
      // Beside a key, the other certificates are that certificate's chain.
      if (content.key && !owner) continue;
      CertificateEntry entry;
      entry.file = file;
      entry.index_in_file = static_cast<int>(i);
      entry.has_private_key = owner;
      entry.details = certfile::Describe(content.certificates[i].get());
      listing.certificates.push_back(std::move(entry));
    }
  }
  return listing;
}

std::optional<CertificateEntry> DirectoryCertStore::Choose(const std::string& store,
                                                           const std::string& subject) const {
  return Choose(List(store), subject);
}

std::optional<CertificateEntry> DirectoryCertStore::Choose(const StoreListing& listing,
                                                           const std::string& subject) {
  const std::time_t now = std::time(nullptr);
  std::optional<CertificateEntry> best;
  for (const CertificateEntry& e : listing.certificates) {
    if (e.details.subject != subject) continue;
    if (!best || Better(e, *best, now)) best = e;
  }
  return best;
}

ClientCredentials DirectoryCertStore::LoadClientCredentials(const std::string& store,
                                                            const std::string& subject) const {
  ClientCredentials c;
  std::error_code ec;
  if (!IsStoreName(store) || !fs::is_directory(root_ / store, ec)) {
    c.status = Status::Error(kCredentialsNotFound, "certificate store \"" + store +
                                                       "\" does not exist in " + root_.string());
    return c;
  }
  const StoreListing listing = List(store);
  const std::optional<CertificateEntry> chosen = Choose(listing, subject);
  if (!chosen) {
    std::string why =
        "no certificate with the subject \"" + subject + "\" in store \"" + store + "\"";
    // The one wanted may sit in a file that cannot be read: say which and why.
    for (size_t i = 0; i < listing.problems.size(); ++i) {
      why += (i == 0 ? "; files that cannot be read there: " : "; ") + listing.problems[i].Text();
    }
    c.status = Status::Error(kCredentialsNotFound, why);
    return c;
  }
  const std::string where = chosen->file.filename().string();
  if (!chosen->has_private_key) {
    c.status = Status::Error(kCredentialsUnusable, "the certificate \"" + subject + "\" (" + where +
                                                       ") has no private key");
    return c;
  }
  certfile::CertFile content;
  const Status read = certfile::ReadCertFile(chosen->file, &content);
  if (!read.ok() || !content.key) {
    // The file changed between listing and reading.
    c.status =
        Status::Error(kCredentialsUnusable,
                      where + ": " + (read.ok() ? "has no private key any more" : read.message()));
    return c;
  }
  c.certificate_pem = certfile::CertificatePem(content.certificates[content.key_owner].get());
  for (size_t i = 0; i < content.certificates.size(); ++i) {
    if (static_cast<int>(i) != content.key_owner) {
      c.certificate_pem += certfile::CertificatePem(content.certificates[i].get());
    }
  }
  c.private_key_pem = certfile::PrivateKeyPem(content.key.get());
  if (c.private_key_pem.empty()) {
    c.status = Status::Error(kCredentialsUnusable, where + ": the private key cannot be exported");
    return c;
  }
  const std::time_t now = std::time(nullptr);
  if (now < chosen->details.not_before) {
    c.validity_problem = "the client certificate (" + where + ") is not valid before " +
                         FormatValidity(chosen->details.not_before);
  } else if (now > chosen->details.not_after) {
    c.validity_problem = "the client certificate (" + where + ") expired on " +
                         FormatValidity(chosen->details.not_after);
  }
  c.status = Status();
  return c;
}

std::string DirectoryCertStore::TrustedCertificatesPem(const std::string& store) const {
  std::string pem;
  for (const fs::path& file : StoreFiles(store)) {
    certfile::CertFile content;
    if (!certfile::ReadCertFile(file, &content).ok()) continue;
    for (const certfile::X509Ptr& cert : content.certificates) {
      pem += certfile::CertificatePem(cert.get());
    }
  }
  return pem;
}

}  // namespace velunor
