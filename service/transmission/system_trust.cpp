#include "service/transmission/system_trust.h"

#include <sys/stat.h>

#include <cstdio>

#include <openssl/err.h>
#include <openssl/pem.h>

namespace velunor {

SystemTrust::SystemTrust() = default;
SystemTrust::~SystemTrust() = default;

const std::vector<X509*>& SystemTrust::Certificates(const std::string& bundle) {
  struct stat st {};
  Identity now;
  now.path = bundle;
  if (stat(bundle.c_str(), &st) == 0) {
    now.inode = st.st_ino;
    now.size = st.st_size;
    now.modified = st.st_mtim;
  }
  if (now.path == read_.path && now.inode == read_.inode && now.size == read_.size &&
      now.modified.tv_sec == read_.modified.tv_sec &&
      now.modified.tv_nsec == read_.modified.tv_nsec) {
    return certificates_;
  }
  owned_.clear();
  certificates_.clear();
  read_ = now;
  if (now.size < 0) return certificates_;
  std::FILE* file = std::fopen(bundle.c_str(), "rb");
  if (file == nullptr) {
    read_ = Identity();  // tried again at the next transfer
    return certificates_;
  }
  // Plain and "TRUSTED" certificates, as libcurl takes them from the file.
  while (X509* cert = PEM_read_X509_AUX(file, nullptr, nullptr, nullptr)) {
    owned_.emplace_back(cert);
    certificates_.push_back(cert);
  }
  std::fclose(file);
  ERR_clear_error();  // the end of the file reads as "no start line"
  return certificates_;
}

}  // namespace velunor
