// The store component over real directories: a store or root that cannot be
// opened says why instead of looking empty, and a broken file does not hide
// the certificates beside it.
#include "certmanager/store_browser.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/test_base.h"
#include "tests/test_certificates.h"

namespace velunor {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::WriteFile;

class DirectoryCertMgrTest : public ::testing::Test {
 protected:
  DirectoryCertMgrTest() : root_(dir_.path() / "certstore"), store_(root_), mgr_(store_) {}

  // The project's certificates; the client's subject as the script printed it.
  std::string MakeCertificates() { return testing::TestCertificates(dir_.path()).client_subject; }

  TempDir dir_;
  fs::path root_;
  DirectoryCertStore store_;
  DirectoryCertMgr mgr_;
};

TEST_F(DirectoryCertMgrTest, ARootThatCannotBeOpenedSaysWhy) {
  const StoreNames names = mgr_.Stores();
  EXPECT_TRUE(names.names.empty());
  EXPECT_EQ(names.status.message(), root_.string() + ": No such file or directory");

  WriteFile(root_, "not a directory");
  EXPECT_EQ(mgr_.Stores().status.message(), root_.string() + ": Not a directory");
}

TEST_F(DirectoryCertMgrTest, ListsStoresAndCertificatesBesideABrokenFile) {
  const std::string subject = MakeCertificates();
  WriteFile(root_ / "MY" / "kaputt.pem", "-----BEGIN CERTIFICATE-----\nnonsense\n");
  const StoreNames names = mgr_.Stores();
  EXPECT_EQ(names.names, (std::vector<std::string>{"MY", "Root"}));
  EXPECT_TRUE(names.status.ok());

  const StoreContents my = mgr_.List("MY");
  EXPECT_TRUE(my.status.ok());
  EXPECT_EQ(Subjects(my.listing), std::vector<std::string>{subject})
      << "the text the service selects by";
  ASSERT_EQ(my.listing.problems.size(), 1u);
  EXPECT_TRUE(my.listing.problems[0].Text().starts_with("kaputt.pem: "))
      << my.listing.problems[0].Text();

  // Removed while Kestrin shows it.
  fs::remove_all(root_ / "Root");
  const StoreContents gone = mgr_.List("Root");
  EXPECT_TRUE(gone.listing.certificates.empty());
  EXPECT_EQ(gone.status.message(), (root_ / "Root").string() + ": No such file or directory");
}

TEST_F(DirectoryCertMgrTest, AStoreWithoutReadPermissionSaysWhy) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every directory";
  MakeCertificates();
  ASSERT_EQ(::chmod((root_ / "MY").c_str(), 0), 0);
  const StoreContents my = mgr_.List("MY");
  ::chmod((root_ / "MY").c_str(), 0700);
  EXPECT_TRUE(my.listing.certificates.empty());
  EXPECT_EQ(my.status.message(), (root_ / "MY").string() + ": Permission denied");
}

}  // namespace
}  // namespace velunor
