// The tests' one maker of certificates: tools/make-test-certs into a test
// folder (a store with the client certificate and the CA, and the
// simulator's CA, server and rogue certificates), and copies of the client
// certificate issued again by the test CA for another validity.
#pragma once

#include <filesystem>
#include <string>

namespace velunor::testing {

struct TestCertificates {
  // How the client certificate lies in the store "MY": PEM with its key, or
  // PKCS#12 with an empty password, also with the legacy encryption of older
  // Windows exports (RC2-40/3DES).
  enum class ClientFile { kPem, kP12, kLegacyP12 };
  // Runs the script into `dir`/certstore and `dir`/sim; throws
  // std::runtime_error with its output when it fails.
  explicit TestCertificates(const std::filesystem::path& dir, ClientFile file = ClientFile::kPem);

  // The PEM client certificate's key and subject in a certificate issued by
  // the test CA at faketime's `shift` ("+40d", "-400d") for `days` with
  // `serial`, written as MY/`file` (client.pem replaces the original).
  // REQUIRES: the client certificate is PEM. False when openssl fails.
  bool IssueClientCopy(const std::string& shift, int days, int serial,
                       const std::string& file) const;

  std::filesystem::path store;  // certificate store root: MY/, Root/
  std::filesystem::path sim;    // CA, server and rogue certificates
  std::string client_subject;   // as the store shows it
};

}  // namespace velunor::testing
