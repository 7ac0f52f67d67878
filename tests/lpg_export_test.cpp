// The LPG-portal export against the private MariaDB: what is selected, the
// bytes of the file, and that a failing step is logged while the portal's
// last complete file stays in place.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "service/common/failure.h"
#include "service/db/db_hand_ins.h"
#include "service/db/lpg_export_format.h"
#include "tests/db_test.h"
#include "tests/expect_text.h"

namespace velunor {
namespace {

namespace fs = std::filesystem;

// The statement as the export must send it, with the product list " 0, 4, 5".
const std::string kStatement =
    "select P.station, name1, name2, matchcode, strasse, plzort, gt_aktiv, gt_id, "
    "PP.zentrale_produktnummer ZP, date_format( P.datum,'%d.%m.%Y %H:%i') datum, P.preis from "
    "lox.lox_station_produkte PP, lox.lox_station S, lox.lox_station_aktuelle_preise P, "
    "lox.lox_station_mts M where PP.station = S.station and P.station = S.station and M.station "
    "= S.station and PP.station_produktnummer = P.produkt and PP.zentrale_produktnummer in (  0, "
    "4, 5 ) and gt_aktiv = 1 and gt_id > 0 order by P.Station";

const std::string kHeader =
    "marke;station;name;strasse;plz;ort;zeit;preis;kraftstoff;oeffnet;schliesst;oeffnet_feiertag;"
    "schliesst_feiertag";
const std::string kNone = "\"None\";\"None\";\"None\";\"None\";";
const std::string kOldFile = "alt;\"letzte Preise\";\r\n";

// A folder in which nobody, not even root, can create a file while this
// object lives: the immutable attribute, or for other users the mode.
class UnwritableFolder {
 public:
  explicit UnwritableFolder(fs::path dir) : dir_(std::move(dir)) {
    const int fd = open(dir_.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &old_flags_) == 0) {
      int immutable = old_flags_ | FS_IMMUTABLE_FL;
      immutable_ = ioctl(fd, FS_IOC_SETFLAGS, &immutable) == 0;
    }
    if (fd >= 0) close(fd);
    if (!immutable_) fs::permissions(dir_, fs::perms::owner_write, fs::perm_options::remove);
  }
  ~UnwritableFolder() {
    if (immutable_) {
      const int fd = open(dir_.c_str(), O_RDONLY | O_DIRECTORY);
      ioctl(fd, FS_IOC_SETFLAGS, &old_flags_);
      close(fd);
    } else {
      fs::permissions(dir_, fs::perms::owner_write, fs::perm_options::add);
    }
  }
  // False where this process may write anyway (root without the attribute).
  bool Holds() const {
    const fs::path probe = dir_ / "probe";
    const bool created = static_cast<bool>(std::ofstream(probe));
    std::error_code ignored;
    fs::remove(probe, ignored);
    return !created;
  }

 private:
  fs::path dir_;
  bool immutable_ = false;
  int old_flags_ = 0;
};

class LpgExportTest : public testing::DbTest {
 protected:
  void SetUp() override {
    // The portal's folder, never the program directory.
    folder_ = portal_.path() / "lpg";
    fs::create_directories(folder_);
    MasterData& m = t_.db.stammdaten;
    m.GasProductList = " 0, 4, 5";
    m.ProductShortNames[3] = "DIE";
    m.ProductShortNames[4] = "LPG";
    m.ProductShortNames[5] = "CNG";
    // Entered at the head office with backslashes.
    m.LpgExportFile = portal_.path().string() + "\\lpg\\preise.csv";

    Sql("insert into lox_station (station, name1, name2, matchcode, strasse, plzort) values "
        "(1, 'Müller Gas', 'Zweitname', 'MUELLER', 'Hauptstraße 5', '12345 Köln'), "
        "(2, 'Tank \"Zur Post\"', '', '', 'Am Markt 1', '1234'), "
        "(3, 'Ohne Portal', '', '', 'Weg 3', '54321 Ort'), "
        "(4, 'Ohne Portal-Id', '', '', 'Weg 4', '54321 Ort')");
    Sql("insert into lox_station_mts (station, gt_aktiv, gt_id) values (1, 1, 101), (2, 1, 102), "
        "(3, 0, 103), (4, 1, 0)");
    Sql("insert into lox_station_produkte values (1, 13, 3, 'J'), (1, 14, 4, 'J'), "
        "(1, 15, 5, 'J'), (2, 24, 4, 'J'), (3, 34, 4, 'J'), (4, 44, 4, 'J')");
    Sql("insert into lox_station_aktuelle_preise values "
        "(1, 13, 1.659, '2026-12-06 08:02:00'), (1, 14, 0.899, '2026-12-06 07:45:00'), "
        "(1, 15, 1.129, '2026-12-05 23:59:00'), (2, 24, 0.919, '2026-01-02 03:04:00'), "
        "(3, 34, 0.8, '2026-12-06 08:00:00'), (4, 44, 0.8, '2026-12-06 08:00:00')");
  }
  std::string Read(const std::string& name) const { return portal_.Read("lpg/" + name); }
  void Write(const std::string& name, const std::string& bytes) const {
    portal_.Write("lpg/" + name, bytes);
  }
  bool Exists(const std::string& name) const { return fs::exists(folder_ / name); }
  // Error-log entries of the export, and the rest of each after the procedure name.
  std::vector<std::string> ExportErrors() const {
    std::vector<std::string> found;
    for (const std::string& line : t_.ErrorLines()) {
      const size_t at = line.find(" --> Gas-Tankstelle-Export / ");
      if (at != std::string::npos) found.push_back(line.substr(at + 29));
    }
    return found;
  }

  testing::TempDir portal_;
  fs::path folder_;
};

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  for (size_t end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2) {
    lines.push_back(text.substr(pos, end - pos));
  }
  EXPECT_EQ(pos, text.size()) << "every line, the last too, ends with CR LF";
  return lines;
}

TEST_F(LpgExportTest, NothingToExportLeavesTheFileAloneAndWritesNoTemporaryFile) {
  Write("preise.csv", kOldFile);

  t_.db.stammdaten.GasProductList = " 0";
  Gas_Tankstelle_Export(t_.db);
  EXPECT_EQ(Read("preise.csv"), kOldFile) << "product list \" 0\" selects nothing";
  EXPECT_FALSE(Exists("preise.tmp"));

  // Station 3 is switched off, station 4 has no portal id.
  t_.db.stammdaten.GasProductList = " 0, 4, 5";
  Sql("update lox_station_mts set gt_aktiv = 0 where station in (1, 2)");
  Gas_Tankstelle_Export(t_.db);
  EXPECT_EQ(Read("preise.csv"), kOldFile) << "no participating station";
  EXPECT_FALSE(Exists("preise.tmp"));
  EXPECT_TRUE(t_.ErrorLines().empty());
}

TEST_F(LpgExportTest, WritesEveryGasPriceOfTheParticipatingStationsAsWindows1252) {
  Write("preise.csv", kOldFile);
  Write("preise.tmp", std::string(5000, 'x'));  // left over by an interrupted run

  Gas_Tankstelle_Export(t_.db);

  EXPECT_TRUE(t_.ErrorLines().empty()) << t_.ErrorLines().front();
  EXPECT_FALSE(Exists("preise.tmp"));
  const std::vector<std::string> lines = SplitCrLf(Read("preise.csv"));
  ASSERT_EQ(lines.size(), 4u) << "header, LPG and CNG of station 1, LPG of station 2";
  EXPECT_EQ(lines[0], kHeader);
  // Station 1: umlauts as single Windows-1252 bytes, one line per gas product
  // (their order within the station is the database's); its Diesel is not exported.
  const std::string station1 =
      "\"\";\"101\";\"M\xFCller Gas\";\"Hauptstra\xDF"
      "e 5\";\"12345\";"
      "\"K\xF6ln\";";
  std::vector<std::string> first{lines[1], lines[2]};
  std::sort(first.begin(), first.end());
  EXPECT_EQ(first[0], station1 + "05.12.2026 23:59;\"1,129\";\"CNG\";" + kNone);
  EXPECT_EQ(first[1], station1 + "06.12.2026 07:45;\"0,899\";\"LPG\";" + kNone);
  // Station 2: a postcode field shorter than 6 characters leaves the town
  // empty; the quotes in its name are doubled so the line still parses.
  EXPECT_EQ(lines[3],
            "\"\";\"102\";\"Tank \"\"Zur Post\"\"\";\"Am Markt 1\";\"1234\";\"\";"
            "02.01.2026 03:04;\"0,919\";\"LPG\";" +
                kNone);

  // Every run writes the current prices anew.
  Sql("update lox_station_aktuelle_preise set preis = 0.909 where station = 2");
  Gas_Tankstelle_Export(t_.db);
  EXPECT_TRUE(Contains(Read("preise.csv"), "\"0,909\";\"LPG\";"));
  EXPECT_FALSE(Exists("preise.tmp"));
}

// The folder is typically shared with the portal's transfer software: a link
// planted at the temporary name (or at the export file) is never followed.
TEST_F(LpgExportTest, LinksPlantedInTheSharedFolderAreNeverFollowed) {
  testing::TempDir outside;
  const fs::path secret = outside.path() / "secret";
  std::ofstream(secret, std::ios::binary) << "owned by someone else";
  fs::create_symlink(secret, folder_ / "preise.tmp");
  fs::create_symlink(secret, folder_ / "preise.csv");
  Gas_Tankstelle_Export(t_.db);
  EXPECT_EQ(testing::ReadFile(secret), "owned by someone else");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(folder_ / "preise.csv")));
  EXPECT_TRUE(Read("preise.csv").starts_with(kLpgExportHeader)) << "the export, whole";
  EXPECT_TRUE(fs::is_symlink(folder_ / "preise.tmp")) << "someone else's link stays";
  ASSERT_EQ(ExportErrors().size(), 1u) << "reported";
  EXPECT_TRUE(Contains(ExportErrors()[0], "preise.tmp ist keine gewöhnliche Datei"));
}

TEST_F(LpgExportTest, UnwritableFolderIsLoggedAndTheOldFileSurvivesUntilTheNextRun) {
  Write("preise.csv", kOldFile);
  {
    UnwritableFolder locked(folder_);
    if (!locked.Holds()) GTEST_SKIP() << "this system lets the test write into any folder";
    Gas_Tankstelle_Export(t_.db);
  }
  EXPECT_EQ(Read("preise.csv"), kOldFile);
  EXPECT_FALSE(Exists("preise.tmp"));
  const std::vector<std::string> errors = ExportErrors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(errors[0].starts_with("75 / Datei ")) << errors[0];
  EXPECT_TRUE(Contains(errors[0], "preise.csv kann nicht geschrieben werden: "));
  EXPECT_TRUE(Contains(errors[0], "preise.tmp: ")) << "names the file it could not make";
  EXPECT_EQ(errors[0].substr(errors[0].size() - kStatement.size()), kStatement)
      << "the statement is the context";

  Gas_Tankstelle_Export(t_.db);
  EXPECT_NE(Read("preise.csv"), kOldFile) << "the next run tries again";
  EXPECT_EQ(ExportErrors().size(), 1u);
}

TEST_F(LpgExportTest, FileFailuresAreLoggedAndNeverLeaveAHalfFileOrAStrayTemporaryFile) {
  Write("preise.csv", kOldFile);

  // The temporary name is taken by a folder: it is left alone, reported, and
  // the export goes through a temporary file of another name.
  fs::create_directory(folder_ / "preise.tmp");
  Gas_Tankstelle_Export(t_.db);
  EXPECT_NE(Read("preise.csv"), kOldFile);
  EXPECT_TRUE(fs::is_directory(folder_ / "preise.tmp")) << "someone else's folder stays";
  ASSERT_EQ(ExportErrors().size(), 1u);
  EXPECT_TRUE(Contains(ExportErrors()[0], "preise.tmp ist keine gewöhnliche Datei"));
  fs::remove(folder_ / "preise.tmp");
  Write("preise.csv", kOldFile);

  // The export name is a folder: the complete temporary file cannot replace
  // it, and is removed so that no stale file is left for the portal.
  fs::create_directory(folder_ / "ziel.csv");
  t_.db.stammdaten.LpgExportFile = portal_.path().string() + "\\lpg\\ziel.csv";
  Gas_Tankstelle_Export(t_.db);
  EXPECT_TRUE(fs::is_empty(folder_ / "ziel.csv"));
  EXPECT_FALSE(Exists("ziel.tmp"));
  ASSERT_EQ(ExportErrors().size(), 2u);
  EXPECT_TRUE(Contains(ExportErrors()[1], "ziel.csv kann nicht geschrieben werden: "));

  // The folder's path names a regular file.
  portal_.Write("datei", "kein Ordner");
  t_.db.stammdaten.LpgExportFile = portal_.path().string() + "\\datei\\preise.csv";
  Gas_Tankstelle_Export(t_.db);
  EXPECT_EQ(portal_.Read("datei"), "kein Ordner");
  ASSERT_EQ(ExportErrors().size(), 3u);
  for (const std::string& e : ExportErrors()) {
    EXPECT_TRUE(e.starts_with("75 / ")) << e;
    EXPECT_EQ(e.substr(e.size() - kStatement.size()), kStatement) << e;
  }
  EXPECT_EQ(Read("preise.csv"), kOldFile);
}

TEST_F(LpgExportTest, DatabaseFailuresAreLoggedWithTheStatementAndTouchNoFile) {
  Write("preise.csv", kOldFile);

  t_.db.stammdaten.GasProductList = " 0, x";
  Gas_Tankstelle_Export(t_.db);
  ASSERT_EQ(ExportErrors().size(), 1u);
  EXPECT_TRUE(Contains(ExportErrors()[0], "in (  0, x ) and gt_aktiv = 1"));

  // Without a connection the lost-connection number reaches the scheduler.
  t_.db.stammdaten.GasProductList = " 0, 4, 5";
  t_.db.DbVerbindung.reset();
  Gas_Tankstelle_Export(t_.db);
  ASSERT_EQ(ExportErrors().size(), 2u);
  EXPECT_TRUE(ExportErrors()[1].starts_with(std::to_string(kErrConnectionLost) + " / "))
      << ExportErrors()[1];
  EXPECT_EQ(t_.log.LetzterFehler(), kErrConnectionLost);

  EXPECT_EQ(Read("preise.csv"), kOldFile);
  EXPECT_FALSE(Exists("preise.tmp"));
}

// Texts from the upstream tables never end a field or a line early.
TEST_F(LpgExportTest, LineEndsAndControlsInAStationNameBecomeSpaces) {
  Sql("update lox_station set name1 = ? where station = 2",
      {std::string("Tank\r\n\";Ost\x01\tWest")});
  Gas_Tankstelle_Export(t_.db);
  const std::vector<std::string> lines = SplitCrLf(Read("preise.csv"));
  ASSERT_EQ(lines.size(), 4u) << "one row per product still";
  EXPECT_TRUE(lines[3].starts_with("\"\";\"102\";\"Tank  \"\";Ost  West\";\"Am Markt 1\";"))
      << lines[3];
  EXPECT_EQ(std::count(lines[3].begin(), lines[3].end(), '\n'), 0);
}

// Whatever the database names, the export never writes into the program
// directory, and with --lpg-dir only into that folder; told once per run.
TEST_F(LpgExportTest, APathIntoTheProgramDirectoryOrOutsideTheLpgFolderIsNeverWritten) {
  const fs::path program = t_.env.program_dir;
  t_.dir.Write("STATION.INI", "LOX\r\nserver\r\nuser\r\npass\r\n");
  fs::create_directories(program / "certstore" / "MY");
  fs::create_symlink(program, folder_ / "zum-programm");
  for (const std::string& path :
       {program.string() + "\\STATION.INI", program.string() + "/certstore/MY/client.pem",
        folder_.string() + "/zum-programm/Velunor.CFG",
        folder_.string() + "/../lpg/zum-programm/./Velunor.CFG"}) {
    t_.db.stammdaten.LpgExportFile = path;
    t_.db.lpg_refusal_told = false;  // as in a new run
    for (int run = 1; run <= 2; ++run) Gas_Tankstelle_Export(t_.db);
    EXPECT_EQ(ExportErrors().size(), 1u) << path << ": told once\n"
                                         << testing::Joined(t_.ErrorLines());
    ASSERT_FALSE(ExportErrors().empty());
    EXPECT_TRUE(Contains(ExportErrors().back(), "Exportdatei '" +
                                                    testing::BackslashesDoubled(path) +
                                                    "' für den Export Gas-Tankstelle liegt im "
                                                    "Programmverzeichnis " +
                                                    program.string()));
    fs::remove(program / "MTS-Error-0.LOG");
  }
  EXPECT_EQ(t_.dir.Read("STATION.INI"), "LOX\r\nserver\r\nuser\r\npass\r\n");
  EXPECT_FALSE(fs::exists(program / "certstore" / "MY" / "client.pem"));
  EXPECT_FALSE(fs::exists(program / "Velunor.CFG"));

  // With a folder configured: inside it (or below) yes, beside it no.
  t_.db.stammdaten.LpgExportFile = folder_.string() + "/preise.csv";
  t_.db.lpg_dir = portal_.path();
  Gas_Tankstelle_Export(t_.db);
  EXPECT_TRUE(Read("preise.csv").starts_with(kLpgExportHeader));
  t_.db.lpg_dir = folder_ / "unten";
  t_.db.lpg_refusal_told = false;
  Write("preise.csv", kOldFile);
  Gas_Tankstelle_Export(t_.db);
  EXPECT_EQ(Read("preise.csv"), kOldFile);
  ASSERT_EQ(ExportErrors().size(), 1u);
  EXPECT_TRUE(Contains(ExportErrors()[0],
                       "liegt nicht im Ordner " + (folder_ / "unten").string() + " (--lpg-dir)"));
}

}  // namespace
}  // namespace velunor
