// Every file the service and Kestrin write whole, through the writer each
// really uses: a link planted at the file or at a temporary name next to it
// is never followed (what it points to stays untouched, the file ends up a
// regular one with the new bytes), and a full disk while writing leaves the
// old file whole. The LPG export's own temporary name is tested with the
// export (lpg_export_test).
#include <signal.h>
#include <sys/resource.h>

#include <fstream>
#include <functional>

#include <gtest/gtest.h>

#include "service/common/fehler_log.h"
#include "service/db/db_hand_ins.h"
#include "service/publication/publication_hand_ins.h"
#include "service/publication/publication_state.h"
#include "shared/settings_file.h"
#include "tests/test_support.h"

namespace velunor {
namespace {

namespace fs = std::filesystem;
using testing::DbTestEnv;
using testing::ReadFile;

struct Writer {
  const char* name;  // the file in the program directory
  // Writes the file anew; false when that failed.
  std::function<bool(DbTestEnv&)> write;
  // Makes the next write necessary; runs before the disk is full.
  std::function<void(DbTestEnv&)> prepare = [](DbTestEnv&) {};
};

// Fills the error-log file in use, so that the next entry starts the next one.
void FillCurrentLog(DbTestEnv& t) {
  for (int n = 0; n <= FehlerLog::kMaxFileNumber; ++n) {
    if (n == 0 || fs::exists(t.log.LogFile(n))) {
      std::ofstream(t.log.LogFile(n), std::ios::binary) << std::string(FehlerLog::kFullSize, 'x');
    }
  }
}

std::ostream& operator<<(std::ostream& out, const Writer& w) { return out << w.name; }

// Assembles a publication, which writes its file; true when the file holds it.
bool Publication(DbTestEnv& t, bool prices) {
  PublicationState pub;
  t.db.stammdaten.ReporterName = "Müller";
  XML_Init(pub, t.db);
  prices ? XML_Out_Preise(pub, t.db) : XML_Out_Station(pub, t.db);
  return ReadFile(t.dir.path() / (prices ? "MTS_P.xml" : "MTS_G.xml")) ==
         pub.PublicationXml + "\r\n";
}

// A file-size limit for the process, as a full disk: writes beyond `bytes`
// fail (EFBIG) while the object lives.
class FullDisk {
 public:
  explicit FullDisk(rlim_t bytes) : previous_(signal(SIGXFSZ, SIG_IGN)) {
    getrlimit(RLIMIT_FSIZE, &old_);
    rlimit small = old_;
    small.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FullDisk() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, previous_);
  }

 private:
  rlimit old_{};
  sighandler_t previous_;
};

const Writer kWriters[] = {
    {"MTS_G.xml", [](DbTestEnv& t) { return Publication(t, false); }},
    {"MTS_P.xml", [](DbTestEnv& t) { return Publication(t, true); }},
    {"Velunor.CFG",
     [](DbTestEnv& t) {
       return WriteSettingsFile(t.dir.path() / "Velunor.CFG",
                                {std::string(200, 'C'), "https://mdm/g", "https://mdm/p"})
           .ok();
     }},
    {"MTS_G.pending",
     [](DbTestEnv& t) {
       // One more station each time; written when the file lists it.
       const long station = static_cast<long>(t.db.delivery.pending.size()) + 1;
       AddPendingStations(t.db, {station}, "Test");
       return ReadFile(t.dir.path() / "MTS_G.pending").find(std::to_string(station) + "\r\n") !=
              std::string::npos;
     }},
    {"MTSLOGNummer.DAT",
     [](DbTestEnv& t) {
       // The next log file starts, and the number file says which.
       const int dropped = t.log.dropped();
       t.log.Write(13, "Fehler", "Test", "");
       return t.log.dropped() == dropped;
     },
     FillCurrentLog},
};

class FileSafetyTest : public ::testing::TestWithParam<Writer> {
 protected:
  fs::path File() const { return t_.dir.path() / GetParam().name; }
  DbTestEnv t_;
  testing::TempDir outside_;
};

TEST_P(FileSafetyTest, LinksAreNotFollowedAndAFullDiskLeavesTheOldFile) {
  GetParam().prepare(t_);
  const fs::path secret = outside_.path() / "secret";
  std::ofstream(secret, std::ios::binary) << "owned by someone else";
  fs::create_symlink(secret, File());
  fs::path old_temp = File();
  old_temp += ".tmp";
  fs::create_symlink(secret, old_temp);
  EXPECT_TRUE(GetParam().write(t_)) << testing::Joined(t_.ErrorLines());
  EXPECT_EQ(ReadFile(secret), "owned by someone else") << "nothing written through a link";
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(File()))) << "the file is a file again";
  const std::string written = ReadFile(File());
  EXPECT_FALSE(written.empty());

  fs::remove(old_temp);
  GetParam().prepare(t_);
  {
    FullDisk full(0);
    EXPECT_FALSE(GetParam().write(t_)) << "the failed write is noticed";
  }
  EXPECT_EQ(ReadFile(File()), written) << "the old file stays whole";
  for (const auto& e : fs::directory_iterator(t_.dir.path())) {
    EXPECT_EQ(e.path().extension() == ".tmp", false) << "left behind: " << e.path();
  }
}

INSTANTIATE_TEST_SUITE_P(Writer, FileSafetyTest, ::testing::ValuesIn(kWriters),
                         [](const ::testing::TestParamInfo<Writer>& param) {
                           std::string name = param.param.name;
                           for (char& c : name) {
                             if (c == '.' || c == '_') c = 'X';
                           }
                           return name;
                         });

}  // namespace
}  // namespace velunor
