#include "shared/file_replace.h"

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>
#include <cerrno>

#include <gtest/gtest.h>

#include "tests/test_base.h"

namespace velunor {
namespace {

namespace fs = std::filesystem;

class FileReplaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_ / "inside");
    Write(dir_ / "outside" / "secret", "owned by someone else");
  }

  static void Write(const fs::path& file, const std::string& bytes) {
    testing::WriteFile(file, bytes);
  }
  static std::string Read(const fs::path& file) { return testing::ReadFile(file); }
  // Files in `inside` other than `keep`: temporary files left behind.
  size_t Leftovers(const std::string& keep) const {
    size_t n = 0;
    for (const auto& e : fs::directory_iterator(dir_ / "inside")) {
      if (e.path().filename() != keep) ++n;
    }
    return n;
  }

  testing::TempDir tmp_;
  const fs::path& dir_ = tmp_.path();
};

// Links planted where a writer puts its files: the temporary name it would
// prefer and the target itself. None is followed; the target ends up a
// regular file with the new bytes, and what the links point to is untouched.
TEST_F(FileReplaceTest, PlantedLinksAreNeverFollowed) {
  const fs::path target = dir_ / "inside" / "preise.csv";
  const fs::path temp = dir_ / "inside" / "preise.tmp";
  fs::create_symlink(dir_ / "outside" / "secret", temp);
  bool taken = false;
  Status written = ReplaceFile(target, "neu", {temp, &taken});
  ASSERT_TRUE(written.ok()) << written.message();
  EXPECT_TRUE(taken) << "the caller is told, to report it";
  EXPECT_EQ(Read(dir_ / "outside" / "secret"), "owned by someone else");
  EXPECT_TRUE(fs::is_symlink(temp)) << "someone else's link stays";
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(target)));
  EXPECT_EQ(Read(target), "neu");

  // A link at the target is replaced, not written through.
  fs::remove(target);
  fs::create_symlink(dir_ / "outside" / "secret", target);
  written = ReplaceFile(target, "wieder neu");
  ASSERT_TRUE(written.ok()) << written.message();
  EXPECT_EQ(Read(dir_ / "outside" / "secret"), "owned by someone else");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(target)));
  EXPECT_EQ(Read(target), "wieder neu");

  // A regular file at the preferred name, left by an earlier run, is taken over.
  fs::remove(temp);
  Write(temp, "alt");
  taken = false;
  written = ReplaceFile(target, "dritte", {temp, &taken});
  ASSERT_TRUE(written.ok()) << written.message();
  EXPECT_FALSE(taken);
  EXPECT_FALSE(fs::exists(temp));
  EXPECT_EQ(Leftovers("preise.csv"), 0u);
}

// A full disk (here: the file-size limit of the process) while writing: the
// old file stays whole and no temporary file is left.
TEST_F(FileReplaceTest, AFullDiskLeavesTheOldFileWhole) {
  const fs::path target = dir_ / "inside" / "MTS_P.xml";
  Write(target, "die alte Veröffentlichung");
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto previous = signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const Status written = ReplaceFile(target, std::string(1000, 'x'));
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, previous);
  EXPECT_EQ(written.code(), EFBIG);
  EXPECT_NE(written.message().find("File too large"), std::string::npos) << written.message();
  EXPECT_EQ(Read(target), "die alte Veröffentlichung");
  EXPECT_EQ(Leftovers("MTS_P.xml"), 0u);
}

}  // namespace
}  // namespace velunor
