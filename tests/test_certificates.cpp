#include "tests/test_certificates.h"

#include <stdexcept>

#include "tests/test_base.h"

namespace velunor::testing {

namespace fs = std::filesystem;

namespace {

std::string Quoted(const fs::path& path) {
  return std::string("'").append(path.string()).append("'");
}

}  // namespace

TestCertificates::TestCertificates(const fs::path& dir, ClientFile file)
    : store(dir / "certstore"), sim(dir / "sim") {
  const char* option = file == ClientFile::kP12         ? "--p12 "
                       : file == ClientFile::kLegacyP12 ? "--p12-legacy "
                                                        : "";
  const std::string command = std::string(VELUNOR_MAKE_TEST_CERTS) + " " + option + Quoted(store) +
                              " " + Quoted(sim) + " >/dev/null";
  const CommandResult made = RunCommand(command);
  if (made.status != 0) throw std::runtime_error(command + " failed: " + made.output);
  client_subject = ReadFile(sim / "client-subject.txt");
  while (!client_subject.empty() && client_subject.back() == '\n') client_subject.pop_back();
}

bool TestCertificates::IssueClientCopy(const std::string& shift, int days, int serial,
                                       const std::string& file) const {
  const fs::path client = store / "MY" / "client.pem";
  const fs::path work = sim / "issued";
  fs::create_directories(work);
  const CommandResult issued = RunCommand(
      "set -e; cd " + Quoted(work) + "; openssl x509 -x509toreq -in " + Quoted(client) +
      " -signkey " + Quoted(client) + " -out c.csr; LD_PRELOAD=" + VELUNOR_LIBFAKETIME +
      " FAKETIME='" + shift + "' openssl x509 -req -in c.csr -CA " + Quoted(sim / "ca.pem") +
      " -CAkey " + Quoted(sim / "ca-key.pem") + " -days " + std::to_string(days) + " -set_serial " +
      std::to_string(serial) + " -out c.crt; openssl pkey -in " + Quoted(client) +
      " -out c.key; cat c.crt c.key > " + Quoted(store / "MY" / file));
  return issued.status == 0;
}

}  // namespace velunor::testing
