#include "service/transmission/system_trust.h"

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/test_base.h"
#include "tests/test_certificates.h"

namespace velunor {
namespace {

void WriteInPlace(const std::filesystem::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

TEST(SystemTrustTest, ParsesTheBundleOnceAndAgainWhenItChanges) {
  const testing::TempDir dir;
  const testing::TestCertificates certs(dir.path());
  const std::string ca = testing::ReadFile(certs.sim / "ca.pem");
  const std::string rogue = testing::ReadFile(certs.sim / "rogue-ca.pem");
  const std::filesystem::path bundle = dir.path() / "ca-certificates.crt";
  SystemTrust trust;
  EXPECT_TRUE(trust.Certificates(bundle.string()).empty()) << "no bundle";

  WriteInPlace(bundle, ca + rogue);
  ASSERT_EQ(trust.Certificates(bundle.string()).size(), 2u);
  // The same file, size and time: what was parsed stands, even though the
  // bytes now hold no certificate at all.
  const auto modified = std::filesystem::last_write_time(bundle);
  WriteInPlace(bundle, std::string(ca.size() + rogue.size(), 'x'));
  std::filesystem::last_write_time(bundle, modified);
  EXPECT_EQ(trust.Certificates(bundle.string()).size(), 2u) << "parsed again";

  WriteInPlace(bundle, ca);
  EXPECT_EQ(trust.Certificates(bundle.string()).size(), 1u) << "an updated bundle counts";
  std::filesystem::remove(bundle);
  EXPECT_TRUE(trust.Certificates(bundle.string()).empty()) << "a removed bundle counts";
}

}  // namespace
}  // namespace velunor
