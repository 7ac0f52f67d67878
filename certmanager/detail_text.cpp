#include "certmanager/detail_text.h"

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

std::string UnreadableFileLine(const std::string& what) {
  return "Zertifikatsdatei nicht lesbar: " + what + kLineEnd;
}

}  // namespace velunor
