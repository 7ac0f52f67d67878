// The program directory on a full disk from the start: the publication
// files, the error log, the communication log and the archive cannot be
// written. The service must still start, send every publication from
// memory, lose no price, and write its files again once space returns.
// Once on the machine's disk: a small tmpfs filled to the last byte when the
// test may mount one (root); otherwise the service's files are links to
// /dev/full, which fails every write the same way (ENOSPC), but keeps an
// already opened file failing after "space returns", so the communication
// log's recovery is then not checked. And once through a failing file
// system handed to the service, without root, which also fails a write
// halfway and makes the archive's folder unwritable.
#include <sys/mount.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "service/core/komm_log.h"
#include "tests/expect_text.h"
#include "tests/faulty_file_system.h"
#include "tests/proof_network.h"
#include "tests/proof_rig.h"

namespace velunor {
namespace {

namespace fs = std::filesystem;
using testing::ServiceRig;

constexpr int kStations = 20;

// A program directory whose disk is full until Free().
class FullDisk {
 public:
  explicit FullDisk(const fs::path& dir) : dir_(dir) {
    fs::create_directories(dir_);
    mounted_ = mount("tmpfs", dir_.c_str(), "tmpfs", 0, "size=1m") == 0;
  }
  ~FullDisk() {
    if (mounted_) umount2(dir_.c_str(), MNT_DETACH);
  }
  bool tmpfs() const { return mounted_; }

  // Takes the last free byte (tmpfs) or turns the service's files into /dev/full.
  void Fill() {
    if (!mounted_) {
      for (const char* name : kServiceFiles) fs::create_symlink("/dev/full", dir_ / name);
      return;
    }
    std::FILE* f = std::fopen((dir_ / "filler").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::setvbuf(f, nullptr, _IONBF, 0);
    const std::vector<char> block(4096, 'x');
    while (std::fwrite(block.data(), 1, block.size(), f) == block.size()) {
    }
    while (std::fputc('x', f) != EOF) {
    }
    EXPECT_EQ(errno, ENOSPC);
    std::fclose(f);
  }

  void Free() {
    if (mounted_) {
      fs::remove(dir_ / "filler");
    } else {
      for (const char* name : kServiceFiles) fs::remove(dir_ / name);
    }
  }

 private:
  static constexpr const char* kServiceFiles[] = {"MTS_G.xml", "MTS_P.xml", "MTS-Error-0.LOG",
                                                  "MTSLOGNummer.DAT", kKommLogFileName};
  fs::path dir_;
  bool mounted_ = false;
};

// The file's bytes; "" when it is missing or not a regular file (a link to
// /dev/full would read without end).
std::string Read(const fs::path& file) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) return "";
  return testing::ReadFile(file);
}

// The archive's files, in no particular order.
std::vector<std::string> ArchiveFiles(const ServiceRig& rig) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(rig.program_dir() / "archive", ec)) {
    names.push_back(e.path().filename().string());
  }
  return names;
}

// Error-log lines that hold `text`.
std::vector<std::string> LinesWith(const ServiceRig& rig, const std::string& text) {
  std::vector<std::string> found = rig.ErrorLines();
  std::erase_if(found, [&](const std::string& line) { return line.find(text) == line.npos; });
  return found;
}

// From a disk that is full before the start to space returning: `fill` and
// `free` change the disk; `whole_disk` is false where only the service's
// own files fail (/dev/full), so that the archive is written throughout and
// a file opened on the full disk keeps failing afterwards.
void RunOnAFullDisk(ServiceRig& rig, Connection& db, const std::function<void()>& fill,
                    const std::function<void()>& free, bool whole_disk) {
  fill();
  ASSERT_TRUE(rig.Start()) << "nothing is written during the start";
  rig.RunFirstExports();
  ASSERT_TRUE(rig.running());
  EXPECT_EQ(rig.sim().RequestCount(), 2) << "station and price publication sent from memory";
  EXPECT_EQ(rig.TransferLogCount(db, 0), 1);
  EXPECT_EQ(rig.TransferLogCount(db, 1), 1);
  EXPECT_EQ(Read(rig.program_dir() / "MTS_P.xml"), "");
  EXPECT_EQ(rig.state().log.LetzterFehler(), kErrPathFileAccess)
      << "the failed writes were noticed";
  EXPECT_GE(rig.state().log.dropped(), 2) << "error-log entries dropped, not written";
  if (whole_disk) {
    EXPECT_EQ(ArchiveFiles(rig), std::vector<std::string>{}) << "no archive file, not even half";
  }
  const long slept_ms = rig.clock().slept_ms();
  ::testing::Test::RecordProperty("retry_pause_ms_while_full", static_cast<int>(slept_ms));

  // A cycle with every price changed, on the full disk.
  testing::PriceMap expected = testing::ChangeAllPrices(db, 4);
  rig.TickUntilState(kReadPrices, 100);
  rig.TickUntilState(kIdle, 10);
  ASSERT_TRUE(rig.running());
  EXPECT_EQ(testing::PriceDifferences(expected, testing::PublishedPrices(rig.LastRequest())), "");
  EXPECT_EQ(testing::PriceDifferences(expected, testing::StoredPrices(db)), "");
  EXPECT_EQ(rig.TransferLogCount(db, 1), 2);

  // Space returns: the next cycle writes its files again.
  free();
  const size_t dropped = static_cast<size_t>(rig.state().log.dropped());
  const size_t komm_lines = Read(rig.program_dir() / kKommLogFileName).size();
  expected = testing::ChangeAllPrices(db, -9);
  rig.TickUntilState(kReadPrices, 100);
  rig.TickUntilState(kIdle, 10);
  ASSERT_TRUE(rig.running());
  EXPECT_EQ(testing::PriceDifferences(expected, testing::PublishedPrices(rig.LastRequest())), "");
  const std::string file = Read(rig.program_dir() / "MTS_P.xml");
  ASSERT_FALSE(file.empty()) << "MTS_P.xml is written again";
  EXPECT_EQ(testing::PriceDifferences(expected, testing::PublishedPrices(file)), "");
  EXPECT_EQ(static_cast<size_t>(rig.state().log.dropped()), dropped)
      << "no error-log entry dropped once there is space";
  if (whole_disk) {
    EXPECT_EQ(ArchiveFiles(rig).size(), 1u) << "the transmission after space returned is archived";
    const std::string komm = Read(rig.program_dir() / kKommLogFileName);
    EXPECT_GT(komm.size(), komm_lines) << "the communication log is written again";
    EXPECT_TRUE(Contains(komm, "Transaction successfull"));
    EXPECT_EQ(testing::Joined(LinesWith(rig, "KommLog")), "")
        << "no communication-log failure once there is space";
  }
}

TEST(FaultDiskTest, FullProgramDirectoryLosesNoPriceAndFilesComeBackWithSpace) {
  auto db = testing::ConnectToSeededNetwork(kStations);

  testing::TempDir work;
  FullDisk disk(work.path() / "program");
  ServiceRig rig({.program_dir = work.path() / "program"});
  RecordProperty("disk", disk.tmpfs() ? "tmpfs" : "/dev/full");
  RunOnAFullDisk(
      rig, *db, [&] { disk.Fill(); }, [&] { disk.Free(); }, disk.tmpfs());
}

// The same through the service's file system, without root; then a
// publication file that fails halfway and an archive folder that cannot be
// written: each is logged with the file and the system's reason, the good
// file stays as it was, no temporary file is left, and the prices go out.
TEST(FaultDiskTest, FailingWritesThroughTheServicesFileSystem) {
  auto db = testing::ConnectToSeededNetwork(kStations);

  testing::FaultyFileSystem files;
  ServiceRig rig({.files = &files});
  const fs::path dir = rig.program_dir();
  RunOnAFullDisk(
      rig, *db, [&] { files.FailWritesAfter(dir, 0); }, [&] { files.Heal(); }, true);
  ASSERT_FALSE(::testing::Test::HasFatalFailure());
  EXPECT_GT(files.failures(), 0) << "the full disk was reached through the service's file system";

  // Half of the next price file fits.
  const std::string good = Read(dir / "MTS_P.xml");
  files.FailWritesAfter(dir / "MTS_P.xml", good.size() / 2);
  testing::PriceMap expected = testing::ChangeAllPrices(*db, 3);
  rig.RunPriceExport();
  EXPECT_EQ(testing::PriceDifferences(expected, testing::PublishedPrices(rig.LastRequest())), "");
  EXPECT_EQ(Read(dir / "MTS_P.xml"), good) << "the half-written file replaced nothing";
  for (const auto& e : fs::directory_iterator(dir)) {
    EXPECT_NE(e.path().extension(), ".tmp") << "left behind: " << e.path();
  }
  const std::vector<std::string> half = LinesWith(rig, "XML_Out_Preise / 75 / ");
  ASSERT_EQ(half.size(), 1u) << testing::Joined(rig.ErrorLines());
  EXPECT_TRUE(Contains(half[0], "MTS_P.xml"));
  EXPECT_TRUE(Contains(half[0], ": No space left on device"));

  // The archive's folder refuses every change.
  files.Heal();
  files.FailChanges(dir / "archive", EACCES);
  const size_t archived = ArchiveFiles(rig).size();
  const int acknowledged = rig.TransferLogCount(*db, 1);
  expected = testing::ChangeAllPrices(*db, 2);
  rig.RunPriceExport();
  EXPECT_EQ(testing::PriceDifferences(expected, testing::PublishedPrices(Read(dir / "MTS_P.xml"))),
            "")
      << "the publication file is written again";
  EXPECT_EQ(rig.TransferLogCount(*db, 1), acknowledged + 1) << "the archive stops nothing";
  EXPECT_EQ(ArchiveFiles(rig).size(), archived);
  const std::vector<std::string> archive = LinesWith(rig, "Archiv / 75 / ");
  ASSERT_EQ(archive.size(), 1u) << testing::Joined(rig.ErrorLines());
  EXPECT_NE(archive[0].find(": Permission denied"), std::string::npos) << archive[0];
}

}  // namespace
}  // namespace velunor
