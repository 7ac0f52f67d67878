// Kestrin's window under Qt's offscreen platform over a certificate store
// made with the openssl command line at fixed times (faketime), so every
// detail line is known: loading, switching stores, taking a certificate, and
// what "Beenden" leaves in Velunor.CFG.
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

#include "certmanager/kestrin_cli.h"
#include "certmanager/kestrin_test_driver.h"
#include "tests/expect_text.h"
#include "tests/test_base.h"

namespace velunor {
namespace {

namespace fs = std::filesystem;
using kestrin_test::BoxAnswer;
using kestrin_test::Kestrin;
using testing::BackslashesDoubled;
using testing::ReadFile;
using testing::SplitLines;
using testing::TempDir;
using testing::WriteFile;
using Lines = std::vector<std::string>;

const char kClient[] = "CN=Müller Tankstellen GmbH, O=Müller\\, Söhne KG, C=DE";
const char kCa[] = "CN=Velunor Detail CA, O=Velunor Test, C=DE";

// The CA at 2024-03-01 08:00:00 UTC; the client certificate (serial 0A1B2C3D,
// RSA 2048, version 3) from 2024-03-05 10:20:30 UTC for 120 days, so it ends
// in summer time; client-key.hex its public key as the details show it.
// Stores: MY (client with key, CA), Root (CA, a broken file), Tresor (empty).
// libfaketime is preloaded directly: the faketime command keeps its clock in
// shared memory named after its pid and now and then fails to make it.
const char kMakeStore[] = R"(set -e
cd "$1"
at() { TZ=UTC LD_PRELOAD="$FAKETIME_LIB" FAKETIME="$1" "${@:2}"; }
key() { openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$1" 2>/dev/null; }
key ca.key
key client.key
at '2024-03-01 08:00:00' openssl req -x509 -new -utf8 -key ca.key \
  -subj '/C=DE/O=Velunor Test/CN=Velunor Detail CA' -days 7300 -set_serial 7 -out ca.pem
openssl req -new -utf8 -key client.key -subj '/C=DE/O=Müller, Söhne KG/CN=Müller Tankstellen GmbH' \
  -out client.csr
echo 'basicConstraints = CA:false' >client.ext
at '2024-03-05 10:20:30' openssl x509 -req -in client.csr -CA ca.pem -CAkey ca.key \
  -set_serial 0x0A1B2C3D -days 120 -sha256 -extfile client.ext -out client.crt
openssl rsa -in client.key -RSAPublicKey_out -outform DER -out client-key.der
od -An -v -tx1 client-key.der | tr -d '\n' | tr -s ' ' | sed 's/^ //' | tr a-f A-F >client-key.hex
mkdir -p store/MY store/Root store/Tresor
cat client.crt client.key >store/MY/client.pem
cp ca.pem store/MY/zz-ca.pem
cp ca.pem store/Root/ca.pem
printf -- '-----BEGIN CERTIFICATE-----\nkaputt\n' >store/Root/kaputt.pem
)";

// What a headless call writes: its exit status and its two outputs.
struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

// `call` with a stream into memory for each output.
template <class F>
CliRun RunCli(F&& call) {
  char* text[2] = {};
  size_t size[2] = {};
  std::FILE* out = open_memstream(&text[0], &size[0]);
  std::FILE* err = open_memstream(&text[1], &size[1]);
  CliRun run{call(out, err), {}, {}};
  std::fclose(out);
  std::fclose(err);
  run.out.assign(text[0], size[0]);
  run.err.assign(text[1], size[1]);
  std::free(text[0]);
  std::free(text[1]);
  return run;
}

class KestrinWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir_.path() / "make-store", kMakeStore);
    const std::string cmd = std::string("FAKETIME_LIB=") + VELUNOR_LIBFAKETIME + " bash '" +
                            (dir_.path() / "make-store").string() + "' '" + dir_.path().string() +
                            "'";
    const testing::CommandResult made = testing::RunCommand(cmd);
    ASSERT_EQ(made.status, 0) << cmd << "\n" << made.output;
    fs::create_directories(program_dir_);
  }

  Kestrin& Start() {
    kestrin_ = std::make_unique<Kestrin>(program_dir_, dir_.path() / "store");
    return *kestrin_;
  }
  std::string Text(const char* name) const {
    if (auto* label = kestrin_->Find<QLabel>(name)) return label->text().toStdString();
    if (auto* edit = kestrin_->Find<QLineEdit>(name)) return edit->text().toStdString();
    if (auto* info = kestrin_->Find<QPlainTextEdit>(name)) return info->toPlainText().toStdString();
    if (auto* frame = kestrin_->Find<QGroupBox>(name)) return frame->title().toStdString();
    if (auto* button = kestrin_->Find<QPushButton>(name)) return button->text().toStdString();
    ADD_FAILURE() << "the window has no " << name;
    return "";
  }
  Lines Items(const char* name) const {
    Lines items;
    if (auto* list = kestrin_->Find<QListWidget>(name)) {
      for (int i = 0; i < list->count(); ++i) items.push_back(list->item(i)->text().toStdString());
    } else if (auto* combo = kestrin_->Find<QComboBox>(name)) {
      for (int i = 0; i < combo->count(); ++i) items.push_back(combo->itemText(i).toStdString());
    }
    return items;
  }
  Lines Info() const { return SplitLines(Text("tInfo")); }
  fs::path Cfg() const { return program_dir_ / "Velunor.CFG"; }
  // "Beenden", answering the question with `answer`.
  void Beenden(QMessageBox::StandardButton answer) {
    BoxAnswer box(answer);
    kestrin_->Click("SelectCert_1");
    ASSERT_TRUE(box.seen) << "no question on Beenden";
    EXPECT_EQ(box.title, "Speichern?");
    EXPECT_EQ(box.text, "Möchten Sie evtl. vorgenommene Änderungen speichern?");
  }
  // kestrin --set into `dir` over the test store, called as `command`.
  CliRun Set(const fs::path& dir, const TransmissionSettings& values,
             const std::vector<std::string>& command = {"kestrin", "--set"}) const {
    return RunCli([&](std::FILE* out, std::FILE* err) {
      return SetSettings(store_, dir, values, out, err, command);
    });
  }
  // kestrin --list of the test store's `store_name`.
  CliRun List(const std::string& store_name) const {
    return RunCli([&](std::FILE* out, std::FILE* err) {
      return ListCertificates(store_, store_name, out, err);
    });
  }

  TempDir dir_;
  fs::path program_dir_ = dir_.path() / "program";
  const DirectoryCertStore store_{dir_.path() / "store"};
  std::unique_ptr<Kestrin> kestrin_;
};

TEST_F(KestrinWindowTest, LoadWithoutSettingsFileShowsTheFirstStore) {
  Kestrin& k = Start();
  EXPECT_EQ(k.window.windowTitle().toStdString(), "Velunor Zertifikatsauswahl");
  const std::pair<const char*, const char*> captions[] = {
      {"Frame1_0", "Zertifikat"},
      {"Label1", "Zertifikatsspeicher:"},
      {"Label2_0", "Verfügbare Zertifikate:"},
      {"Label3", "Detail-Information zum ausgewählten Zertifikat:"},
      {"SelectCert_0", "Zertifikat auswählen"},
      {"Frame1_1", "Konfiguration"},
      {"Label2_1", "Verwendetes Zertifikat:"},
      {"Label2_2", "URL Grunddatenlieferung:"},
      {"Label2_3", "URL Preisdatenlieferung:"},
      {"SelectCert_1", "Beenden"},
      {"StatusBar1", "Kestrin V 1.20.0"},
  };
  for (const auto& [name, caption] : captions) EXPECT_EQ(Text(name), caption) << name;

  EXPECT_EQ(Items("cbStores"), (Lines{"MY", "Root", "Tresor"}));
  EXPECT_EQ(k.Find<QComboBox>("cbStores")->currentText(), "MY");
  EXPECT_EQ(Items("ZertList"), (Lines{kClient, kCa}));
  EXPECT_EQ(k.Find<QListWidget>("ZertList")->currentRow(), 0);
  EXPECT_EQ(Info().at(1), std::string("Betreff:        ") + kClient);
  EXPECT_TRUE(k.Find<QPushButton>("SelectCert_0")->isEnabled());
  for (const char* empty : {"Label4", "Text1_0", "Text1_1"}) EXPECT_EQ(Text(empty), "") << empty;
  EXPECT_FALSE(fs::exists(Cfg())) << "loading never writes";
}

TEST_F(KestrinWindowTest, LoadWithSettingsFileShowsItsLines) {
  // The certificate in use and the two URLs the window shows for `cfg`.
  const auto fields = [&](const std::string& cfg) {
    WriteFile(Cfg(), cfg);
    Start();
    return Lines{Text("Label4"), Text("Text1_0"), Text("Text1_1")};
  };
  // Taken whole: blanks and commas stay, the fourth line is not used.
  EXPECT_EQ(fields(std::string(kClient) + "\r\n https://mdm.example/station,1 \r\n"
                                          "https://mdm.example/preise\r\nrest\r\n"),
            (Lines{kClient, " https://mdm.example/station,1 ", "https://mdm.example/preise"}));
  // Two lines only: the third field stays empty.
  EXPECT_EQ(fields("CN=Alt\r\nhttps://mdm.example/station"),
            (Lines{"CN=Alt", "https://mdm.example/station", ""}));
}

TEST_F(KestrinWindowTest, DetailTextOfAKnownCertificateLineByLine) {
  Start();
  const std::string key = ReadFile(dir_.path() / "client-key.hex");
  ASSERT_EQ(key.size(), 270u * 3 - 1) << "RSAPublicKey of a 2048-bit key";
  EXPECT_EQ(Info(), (Lines{
                        std::string("Aussteller:     ") + kCa,
                        std::string("Betreff:        ") + kClient,
                        "Version:        3",
                        "Seriennummer:   0A1B2C3D",
                        "Algorythmus:    sha256WithRSAEncryption",
                        "Ausgestellt am: 05.03.2024 11:20:30",  // CET
                        "Gültig bis:     03.07.2024 12:20:30",  // CEST
                        "Public Key Algorithm: rsaEncryption",
                        "Public Key Length:    2048",
                        "Public Key:           ",
                        key,
                    }));
  EXPECT_TRUE(QFontInfo(kestrin_->Find<QPlainTextEdit>("tInfo")->font()).fixedPitch())
      << "the labels' blanks line the values up only in a fixed-pitch font";

  // Another row, by keyboard or mouse, shows its own details.
  QTest::keyClick(kestrin_->Find<QListWidget>("ZertList"), Qt::Key_Down);
  EXPECT_EQ(Info().at(1), std::string("Betreff:        ") + kCa);
  EXPECT_EQ(Info().at(3), "Seriennummer:   07");
}

TEST_F(KestrinWindowTest, SwitchingStoresClearsTheDetailsAndKeepsLabel4) {
  Kestrin& k = Start();
  k.Click("SelectCert_0");
  EXPECT_EQ(Text("Label4"), kClient);

  k.ChooseStore("Root");
  EXPECT_EQ(Items("ZertList"), Lines{kCa});
  const Lines info = Info();
  ASSERT_EQ(info.size(), 13u) << Text("tInfo");
  EXPECT_EQ(info[0], std::string("Aussteller:     ") + kCa);
  EXPECT_EQ(info[1], std::string("Betreff:        ") + kCa);
  EXPECT_EQ(info[11], "") << "the broken file is set apart from the details";
  EXPECT_TRUE(info[12].starts_with("Zertifikatsdatei nicht lesbar: kaputt.pem: ")) << info[12];
  EXPECT_EQ(Text("Label4"), kClient);
  EXPECT_TRUE(k.Find<QPushButton>("SelectCert_0")->isEnabled());

  k.ChooseStore("Tresor");
  EXPECT_EQ(Items("ZertList"), Lines{});
  EXPECT_EQ(Text("tInfo"), "");
  EXPECT_FALSE(k.Find<QPushButton>("SelectCert_0")->isEnabled());
  EXPECT_EQ(Text("Label4"), kClient);
  EXPECT_FALSE(fs::exists(Cfg())) << "choosing alone writes nothing";
}

TEST_F(KestrinWindowTest, BeendenWithYesWritesTheThreeLines) {
  WriteFile(Cfg(), "CN=Alt\\, vorher\r\nhttps://alt.example/g\r\nhttps://alt.example/p\r\n");
  Kestrin& k = Start();
  k.Click("SelectCert_0");
  auto* station = k.Find<QLineEdit>("Text1_0");
  station->clear();
  QTest::keyClicks(station, "https://mdm.example/station");
  k.Find<QLineEdit>("Text1_1")->setText(" https://mdm.example/preise ");
  Beenden(QMessageBox::Yes);
  EXPECT_EQ(ReadFile(Cfg()), std::string(kClient) +
                                 "\r\nhttps://mdm.example/station\r\n"
                                 " https://mdm.example/preise \r\n");
  EXPECT_FALSE(k.window.isVisible()) << "the window ends after saving";

  // Without "Zertifikat auswählen" the subject loaded from the file is kept.
  WriteFile(Cfg(), "CN=Alt\\, vorher\r\nhttps://alt.example/g\r\n");
  Start();
  Beenden(QMessageBox::Yes);
  EXPECT_EQ(ReadFile(Cfg()), "CN=Alt\\, vorher\r\nhttps://alt.example/g\r\n\r\n");

  // Without a file the first line stays empty.
  fs::remove(Cfg());
  Start();
  Beenden(QMessageBox::Yes);
  EXPECT_EQ(ReadFile(Cfg()), "\r\n\r\n\r\n");
}

TEST_F(KestrinWindowTest, BeendenWithNoOrTheTitleBarLeavesTheFileUnchanged) {
  const std::string before = "CN=Alt\r\nhttps://alt.example/g\r\nhttps://alt.example/p\r\n";
  WriteFile(Cfg(), before);
  Kestrin& k = Start();
  k.Click("SelectCert_0");
  k.Find<QLineEdit>("Text1_0")->setText("https://mdm.example/station");
  Beenden(QMessageBox::No);
  EXPECT_EQ(ReadFile(Cfg()), before);
  EXPECT_FALSE(k.window.isVisible()) << "No still ends the program";

  {
    Kestrin& again = Start();
    again.Click("SelectCert_0");
    const BoxAnswer none(QMessageBox::Yes);
    again.window.close();
    QApplication::processEvents();
    EXPECT_FALSE(none.seen) << "closing by the title bar asks nothing";
    EXPECT_EQ(ReadFile(Cfg()), before);
  }

  fs::remove(Cfg());
  Start();
  Beenden(QMessageBox::No);
  EXPECT_FALSE(fs::exists(Cfg()));
}

TEST_F(KestrinWindowTest, SetWritesWhatTheWindowSavesAndRefusesWhatItWouldNot) {
  // The window: the client certificate (escaped comma, umlauts) and two URLs.
  Kestrin& k = Start();
  k.Click("SelectCert_0");
  k.Find<QLineEdit>("Text1_0")->setText("https://mdm.example/station");
  k.Find<QLineEdit>("Text1_1")->setText(" https://mdm.example/preise ");
  Beenden(QMessageBox::Yes);
  const std::string saved = ReadFile(Cfg());

  const fs::path other = dir_.path() / "other";
  fs::create_directories(other);
  CliRun run = Set(other, {kClient, "https://mdm.example/station", " https://mdm.example/preise "});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(other / "Velunor.CFG"), saved);
  // What was written, said as --show says it: every output line shows a
  // backslash doubled (O=Müller\\, Söhne KG).
  const std::string listed = BackslashesDoubled(kClient);
  const std::string shown = "Zertifikat: " + listed +
                            "\nURL Grunddatenlieferung: https://mdm.example/station"
                            "\nURL Preisdatenlieferung:  https://mdm.example/preise \n";
  EXPECT_EQ(run.out, "Gespeichert in " + (other / "Velunor.CFG").string() + ":\n" + shown);

  run = RunCli([&](std::FILE* out, std::FILE* err) { return ShowSettings(other, out, err); });
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, shown);
  // The subject copied from that line is the same certificate.
  fs::remove(other / "Velunor.CFG");
  run = Set(other, {listed, "https://mdm.example/station", " https://mdm.example/preise "});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(other / "Velunor.CFG"), saved);

  // Refused, and the file left as it was.
  const struct {
    TransmissionSettings values;
    const char* says;
  } kRefused[] = {
      {{"CN=Niemand, C=DE", "https://a", "https://b"}, "kein Zertifikat \"CN=Niemand, C=DE\""},
      {{kCa, "https://a", "https://b"}, "keinen privaten Schlüssel"},
      {{kClient, "https://a\nhttps://b", "https://b"},
       "URL Grunddatenlieferung: Die Eingabe enthält einen Zeilenumbruch"},
      {{kClient, "https://a", "https://b\r"},
       "URL Preisdatenlieferung: Die Eingabe enthält einen Zeilenumbruch"},
  };
  for (const auto& r : kRefused) {
    run = Set(other, r.values);
    EXPECT_EQ(run.status, 2) << r.says;
    EXPECT_TRUE(Contains(run.err, r.says));
    EXPECT_EQ(ReadFile(other / "Velunor.CFG"), saved) << r.says;
    EXPECT_EQ(run.out, "") << r.says;
  }
}

// Root writing into the service account's directory would leave a
// Velunor.CFG the account cannot replace: refused, with the command to use.
TEST_F(KestrinWindowTest, SetAsRootInAnotherAccountsDirectoryIsRefusedWithTheCommandToUse) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root";
  const fs::path service_dir = dir_.path() / "service";
  fs::create_directories(service_dir);
  ASSERT_EQ(chown(service_dir.c_str(), 65534, 65534), 0);  // nobody
  const std::string nobody = getpwuid(65534)->pw_name;
  const std::vector<std::string> command = {
      "/opt/velunor/kestrin", "--program-dir", service_dir.string(), "--set",
      "--certificate",        kClient,         "--station-url",      "https://a",
      "--price-url",          "https://b"};
  CliRun run = Set(service_dir, {kClient, "https://a", "https://b"}, command);
  EXPECT_EQ(run.status, 2);
  EXPECT_FALSE(fs::exists(service_dir / "Velunor.CFG"));
  EXPECT_TRUE(Contains(run.err, "gehört dem Konto " + nobody));
  EXPECT_TRUE(Contains(run.err, "Bitte als dieses Konto aufrufen: runuser -u " + nobody +
                                    " -- /opt/velunor/kestrin --program-dir " +
                                    service_dir.string() + " --set --certificate '" +
                                    BackslashesDoubled(kClient) +
                                    "' --station-url https://a --price-url https://b\n"));

  // Root's own directory, as a source build in /opt/velunor has it: written.
  run = Set(dir_.path(), {kClient, "https://a", "https://b"}, command);
  EXPECT_EQ(run.status, 0) << run.err;
}

TEST_F(KestrinWindowTest, ListShowsEachCertificatesValidityAndKey) {
  // Beside the expired client certificate and the current CA, one that is
  // valid only from 2040 on.
  const fs::path store_dir = dir_.path() / "store";
  const std::string future =
      "cd '" + dir_.path().string() + "' && TZ=UTC LD_PRELOAD=" + VELUNOR_LIBFAKETIME +
      " FAKETIME='2040-01-01 00:00:00' " +
      "openssl req -x509 -new -utf8 -key client.key -subj '/C=DE/CN=Zukunft' -days 30 " + "-out '" +
      (store_dir / "MY" / "zukunft.pem").string() + "' 2>/dev/null";
  ASSERT_EQ(std::system(future.c_str()), 0);
  CliRun run = List("MY");
  EXPECT_EQ(run.status, 0) << run.err;
  const Lines lines = SplitLines(run.out);
  ASSERT_EQ(lines.size(), 3u) << run.out;
  EXPECT_TRUE(
      lines[0].starts_with(BackslashesDoubled(kClient) + " | Aussteller: " + kCa + " | gültig "))
      << lines[0];
  EXPECT_TRUE(Contains(lines[0], "(abgelaufen) | privater Schlüssel: ja"));
  // In file order: client.pem, zukunft.pem, zz-ca.pem.
  EXPECT_TRUE(lines[1].starts_with("CN=Zukunft, C=DE | Aussteller: CN=Zukunft, C=DE | gültig "))
      << lines[1];
  EXPECT_TRUE(Contains(lines[1], "(noch nicht gültig) | privater Schlüssel: nein"));
  EXPECT_TRUE(lines[2].starts_with(std::string(kCa) + " | Aussteller: " + kCa)) << lines[2];
  EXPECT_TRUE(Contains(lines[2], ":00 | privater Schlüssel: nein"));

  run = List("Gibtsnicht");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(run.err, "Speicher \"Gibtsnicht\" gibt es nicht"));
}

// A certificate the service's account may not read (copied in by root) is
// named with the commands that give it to the account.
TEST_F(KestrinWindowTest, ListNamesACertificateTheAccountMayNotReadWithTheFix) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to read as another account";
  const fs::path client = dir_.path() / "store" / "MY" / "client.pem";
  fs::permissions(dir_.path(), fs::perms::owner_all | fs::perms::others_exec);
  fs::permissions(client, fs::perms::owner_read | fs::perms::owner_write);
  std::FILE* out = std::tmpfile();  // opened by root, written by the child
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // As nobody, what `runuser -u nobody -- kestrin --list` would print.
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    const int status = ListCertificates(store_, "MY", out, out);
    std::fflush(out);
    _exit(status);
  }
  int status = -1;
  waitpid(child, &status, 0);
  std::rewind(out);
  std::string listed;
  for (int c; (c = std::fgetc(out)) != EOF;) listed += static_cast<char>(c);
  std::fclose(out);
  EXPECT_EQ(WEXITSTATUS(status), 0) << listed;
  const std::string account = getpwuid(65534)->pw_name;
  const std::string group = getgrgid(getpwuid(65534)->pw_gid)->gr_name;
  const std::string path = "'" + client.string() + "'";
  EXPECT_TRUE(Contains(listed, "\nnicht lesbar: client.pem: keine Leseberechtigung für das Konto " +
                                   account + " -> als root: chown " + account + ":" + group + " " +
                                   path + " && chmod 600 " + path + "\n"));
  EXPECT_TRUE(listed.starts_with(kCa)) << "the readable one is listed: " << listed;
}

// The question on "Beenden" in German, also without Qt's translations; with
// KESTRIN_DIALOG_PNG set (certmanager/screenshot-save-dialog) it is saved.
TEST_F(KestrinWindowTest, TheSaveQuestionHasGermanButtons) {
  Kestrin& k = Start();
  Lines buttons;
  BoxAnswer box(QMessageBox::No, [&](QMessageBox& shown) {
    EXPECT_EQ(shown.textFormat(), Qt::PlainText);
    for (QAbstractButton* b : shown.buttons()) buttons.push_back(b->text().toStdString());
    if (const char* png = std::getenv("KESTRIN_DIALOG_PNG")) {
      EXPECT_TRUE(shown.grab().save(QString::fromUtf8(png), "PNG")) << png;
    }
  });
  k.Click("SelectCert_1");
  ASSERT_TRUE(box.seen);
  std::sort(buttons.begin(), buttons.end());
  EXPECT_EQ(buttons, (Lines{"Ja", "Nein"}));
}

}  // namespace
}  // namespace velunor
