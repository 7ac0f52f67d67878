#include "certmanager/detail_text.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace velunor {

namespace {

constexpr const char* kLineEnd = "\r\n";

}  // namespace

std::string DetailText(const CertificateDetails& d) {
  std::string text;
  const auto line = [&text](const char* label, const std::string& value) {
    text += label;
    text += value;
    text += kLineEnd;
  };
  line("Aussteller:     ", d.issuer);
  line("Betreff:        ", d.subject);
  line("Version:        ", std::to_string(d.version));
  line("Seriennummer:   ", d.serial_number);
  line("Algorythmus:    ", d.signature_algorithm);
  line("Ausgestellt am: ", FormatValidity(d.not_before));
  line("Gültig bis:     ", FormatValidity(d.not_after));
  line("Public Key Algorithm: ", d.public_key_algorithm);
  line("Public Key Length:    ", std::to_string(d.public_key_bits));
  line("Public Key:           ", "");
  text += d.public_key + kLineEnd;
  return text;
}

std::string UnreadableStoreLine(const std::string& what) {
  return "Zertifikatsspeicher nicht lesbar: " + what + kLineEnd;
}

std::string UnreadableFileText(const UnreadableFile& file, const std::string& account,
                               const std::string& group) {
  if (!file.not_permitted || account.empty()) return file.Text();
  // The service reads its certificate as this account too: the file must
  // become the account's, not readable by everyone.
  const std::string name = file.file.string();
  const std::string path = "'" + name + "'";
  return file.file.filename().string() + ": keine Leseberechtigung für das Konto " + account +
         " -> als root: chown " + account + ":" + group + " " + path + " && chmod 600 " + path;
}

std::string UnreadableFileLine(const UnreadableFile& file) {
  const auto [account, group] = ProcessAccount();
  return "Zertifikatsdatei nicht lesbar: " + UnreadableFileText(file, account, group) + kLineEnd;
}

std::pair<std::string, std::string> ProcessAccount() {
  const passwd* account = getpwuid(geteuid());
  if (account == nullptr) return {"", ""};
  const group* own = getgrgid(account->pw_gid);
  return {account->pw_name, own != nullptr ? own->gr_name : ""};
}

}  // namespace velunor
