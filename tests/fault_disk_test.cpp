// The program directory on a full disk from the start: the publication
// files, the error log and the communication log cannot be written. The
// service must still start, send every publication from memory, lose no
// price, and write its files again once space returns. The disk is a small
// tmpfs filled to the last byte when the test may mount one (root); otherwise
// the service's files are links to /dev/full, which fails every write the
// same way (ENOSPC), but keeps an already opened file failing after "space
// returns", so the communication log's recovery is then not checked.
#include <sys/mount.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "service/core/komm_log.h"
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

TEST(FaultDiskTest, FullProgramDirectoryLosesNoPriceAndFilesComeBackWithSpace) {
  auto db = testing::TestDb::Connect();
  testing::TestDb::Reset(*db);
  testing::SeedStationNetwork(*db, kStations);

  testing::TempDir work;
  FullDisk disk(work.path() / "program");
  ServiceRig::Options options;
  options.program_dir = work.path() / "program";
  ServiceRig rig(options);
  disk.Fill();
  RecordProperty("disk", disk.tmpfs() ? "tmpfs" : "/dev/full");

  ASSERT_TRUE(rig.Start()) << "nothing is written during the start";
  rig.RunFirstExports();
  ASSERT_TRUE(rig.running());
  EXPECT_EQ(rig.sim().RequestCount(), 2) << "station and price publication sent from memory";
  EXPECT_EQ(rig.TransferLogCount(*db, 0), 1);
  EXPECT_EQ(rig.TransferLogCount(*db, 1), 1);
  EXPECT_EQ(Read(rig.program_dir() / "MTS_P.xml"), "");
  EXPECT_EQ(rig.state().log.LetzterFehler(), kErrPathFileAccess)
      << "the failed writes were noticed";
  EXPECT_GE(rig.state().log.dropped(), 2) << "error-log entries dropped, not written";
  const long slept_ms = rig.clock().slept_ms();
  RecordProperty("retry_pause_ms_while_full", static_cast<int>(slept_ms));

  // A cycle with every price changed, on the full disk.
  testing::ChangeAllPrices(*db, 4);
  testing::PriceMap expected = testing::UpstreamPrices(*db);
  rig.TickUntilState(1, 100);
  rig.TickUntilState(0, 10);
  ASSERT_TRUE(rig.running());
  EXPECT_EQ(testing::PriceDifferences(expected, testing::PublishedPrices(rig.LastRequest())), "");
  EXPECT_EQ(testing::PriceDifferences(expected, testing::StoredPrices(*db)), "");
  EXPECT_EQ(rig.TransferLogCount(*db, 1), 2);

  // Space returns: the next cycle writes its files again.
  disk.Free();
  const size_t dropped = static_cast<size_t>(rig.state().log.dropped());
  const size_t komm_lines = Read(rig.program_dir() / kKommLogFileName).size();
  testing::ChangeAllPrices(*db, -9);
  expected = testing::UpstreamPrices(*db);
  rig.TickUntilState(1, 100);
  rig.TickUntilState(0, 10);
  ASSERT_TRUE(rig.running());
  EXPECT_EQ(testing::PriceDifferences(expected, testing::PublishedPrices(rig.LastRequest())), "");
  const std::string file = Read(rig.program_dir() / "MTS_P.xml");
  ASSERT_FALSE(file.empty()) << "MTS_P.xml is written again";
  EXPECT_EQ(testing::PriceDifferences(expected, testing::PublishedPrices(file)), "");
  EXPECT_EQ(static_cast<size_t>(rig.state().log.dropped()), dropped)
      << "no error-log entry dropped once there is space";
  if (disk.tmpfs()) {
    const std::string komm = Read(rig.program_dir() / kKommLogFileName);
    EXPECT_GT(komm.size(), komm_lines) << "the communication log is written again";
    EXPECT_NE(komm.find("Transaction successfull"), std::string::npos) << komm;
    for (const std::string& line : rig.ErrorLines()) {
      EXPECT_EQ(line.find("KommLog"), std::string::npos)
          << "no communication-log failure once there is space: " << line;
    }
  }
}

}  // namespace
}  // namespace velunor
