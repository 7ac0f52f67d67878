// The form logic over a recording view and a store given in memory: what the
// handlers show, what they enable, and what reaches Velunor.CFG when.
#include "certmanager/kestrin_form.h"

#include <pwd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>

#include <gtest/gtest.h>

#include "tests/expect_text.h"
#include "tests/test_base.h"

namespace velunor {
namespace {

using testing::ReadFile;
using testing::TempDir;

struct RecordingView : CertManagerView {
  void AddStore(const std::string& name) override { stores.push_back(name); }
  void SelectStore(int index) override { store_index = index; }
  std::string StoreText() const override { return stores.at(store_index); }
  void ClearCertificates() override {
    certificates.clear();
    highlighted = -1;
  }
  void AddCertificate(const std::string& subject) override { certificates.push_back(subject); }
  void HighlightCertificate(int index) override { highlighted = index; }
  int HighlightedCertificate() const override { return highlighted; }
  void SetInfo(const std::string& text) override { info = text; }
  void EnableSelectCertificate(bool enabled) override { select_enabled = enabled; }
  void SetCertificateInUse(const std::string& subject) override { in_use = subject; }
  void SetUrl(int index, const std::string& url) override { urls[index] = url; }
  std::string Url(int index) const override { return urls[index]; }
  bool AskYesNo(const std::string& text, const std::string& title) override {
    questions.push_back(title + ": " + text);
    return answer_yes;
  }
  void ShowMessage(const std::string& text, const std::string& title) override {
    messages.push_back(title + ": " + text);
  }
  void Unload() override { unloaded = true; }

  std::vector<std::string> stores;
  int store_index = -1;
  std::vector<std::string> certificates;
  int highlighted = -1;
  std::string info;
  bool select_enabled = false;
  std::string in_use;
  std::string urls[2];
  bool answer_yes = true;
  std::vector<std::string> questions;
  std::vector<std::string> messages;
  bool unloaded = false;
};

struct MemoryCertMgr : CertMgr {
  StoreNames Stores() const override {
    StoreNames names{{}, root_error.empty() ? Status() : Status::Error(ENOENT, root_error)};
    for (const auto& [name, contents] : stores) names.names.push_back(name);
    return names;
  }
  StoreContents List(const std::string& store) const override { return stores.at(store); }

  std::map<std::string, StoreContents> stores;
  std::string root_error;
};

CertificateEntry Entry(const std::string& subject, const std::string& serial) {
  CertificateEntry e;
  e.details.subject = subject;
  e.details.issuer = "CN=Velunor Test CA, O=Velunor Test, C=DE";
  e.details.version = 3;
  e.details.serial_number = serial;
  return e;
}

const char kClient[] = "CN=Müller Tankstellen GmbH, O=Müller\\, Söhne KG, C=DE";
const char kOther[] = "CN=Autohof Nord, O=Müller\\, Söhne KG, C=DE";

class CertManagerTest : public ::testing::Test {
 protected:
  CertManagerTest() {
    mgr_.stores["MY"].listing.certificates = {Entry(kClient, "1002"), Entry(kOther, "1003")};
    mgr_.stores["Root"].listing.certificates = {Entry("CN=Velunor Test CA", "1000")};
  }

  std::filesystem::path Cfg() const { return dir_.path() / "Velunor.CFG"; }
  CertManager& Load() {
    form_ = std::make_unique<CertManager>(view_, mgr_, dir_.path());
    form_->Form_Load();
    return *form_;
  }
  void ChooseStore(const std::string& name) {
    view_.store_index = static_cast<int>(std::find(view_.stores.begin(), view_.stores.end(), name) -
                                         view_.stores.begin());
    form_->cbStores_Click();
  }
  std::string SerialShown() const {
    const size_t at = view_.info.find("Seriennummer:   ");
    if (at == std::string::npos) return "";
    return view_.info.substr(at + 16, view_.info.find("\r\n", at) - at - 16);
  }

  TempDir dir_;
  MemoryCertMgr mgr_;
  RecordingView view_;
  std::unique_ptr<CertManager> form_;
};

TEST_F(CertManagerTest, WhatCannotBeReadShowsAsALineAndTheRestIsListed) {
  mgr_.stores["MY"].listing.problems = {{"kaputt.pem", "no certificate in the file"},
                                        {"alt.p12", "mac verify failure"}};
  mgr_.stores["Root"] = {{},
                         Status::Error(EACCES, "/opt/velunor/certstore/Root: Permission denied")};
  Load();
  EXPECT_EQ(view_.certificates.size(), 2u);
  const std::string problems =
      "\r\n"
      "Zertifikatsdatei nicht lesbar: kaputt.pem: no certificate in the file\r\n"
      "Zertifikatsdatei nicht lesbar: alt.p12: mac verify failure\r\n";
  ASSERT_GT(view_.info.size(), problems.size());
  EXPECT_TRUE(view_.info.starts_with("Aussteller:     CN=Velunor Test CA")) << view_.info;
  EXPECT_EQ(view_.info.substr(view_.info.size() - problems.size()), problems);
  view_.highlighted = 1;
  form_->ZertList_Click();
  EXPECT_EQ(SerialShown(), "1003");
  EXPECT_TRUE(Contains(view_.info, problems)) << "still there for another row";

  ChooseStore("Root");
  EXPECT_TRUE(view_.certificates.empty());
  EXPECT_EQ(view_.info,
            "Zertifikatsspeicher nicht lesbar: /opt/velunor/certstore/Root: Permission denied\r\n");
  EXPECT_FALSE(view_.select_enabled);

  // No store at all, because the root cannot be read.
  mgr_.stores.clear();
  mgr_.root_error = "/opt/velunor/certstore: No such file or directory";
  view_ = RecordingView();
  view_.select_enabled = true;
  Load();
  EXPECT_TRUE(view_.stores.empty());
  EXPECT_FALSE(view_.select_enabled);
  EXPECT_EQ(
      view_.info,
      "Zertifikatsspeicher nicht lesbar: /opt/velunor/certstore: No such file or directory\r\n");
}

TEST_F(CertManagerTest, OnlyACertificateOnTheScreenCanBeTaken) {
  mgr_.stores["Tresor"] = {};
  Load();
  view_.highlighted = 1;
  form_->ZertList_Click();
  form_->SelectCert_Click(0);
  EXPECT_EQ(view_.in_use, kOther) << "the highlighted row, not the first";

  ChooseStore("Tresor");
  EXPECT_TRUE(view_.certificates.empty());
  EXPECT_EQ(view_.info, "");
  EXPECT_FALSE(view_.select_enabled);
  form_->SelectCert_Click(0);  // even if the button were pressed
  EXPECT_EQ(view_.in_use, kOther);

  ChooseStore("Root");
  EXPECT_TRUE(view_.select_enabled);
  view_.highlighted = -1;  // the list lost its highlight
  form_->ZertList_Click();
  EXPECT_EQ(view_.info, "");
  form_->SelectCert_Click(0);
  EXPECT_EQ(view_.in_use, kOther);
}

TEST_F(CertManagerTest, SameSubjectTwiceShowsEachRowsOwnDetails) {
  mgr_.stores["MY"].listing.certificates = {Entry(kClient, "1002"), Entry(kClient, "2F00")};
  Load();
  EXPECT_EQ(SerialShown(), "1002");
  view_.highlighted = 1;
  form_->ZertList_Click();
  EXPECT_EQ(SerialShown(), "2F00");
}

TEST_F(CertManagerTest, BeendenWritesOnlyWhatCanBeReadBackAndEndsOnlyWhenSaved) {
  Load();
  form_->SelectCert_Click(0);
  view_.urls[0] = "https://mdm.example/station\n";
  form_->SelectCert_Click(1);
  ASSERT_EQ(view_.questions.size(), 1u);
  EXPECT_EQ(view_.questions[0], "Speichern?: Möchten Sie evtl. vorgenommene Änderungen speichern?");
  EXPECT_EQ(view_.messages,
            std::vector<std::string>{"Kestrin: URL Grunddatenlieferung: Die Eingabe enthält einen "
                                     "Zeilenumbruch und kann so nicht gespeichert werden."});
  EXPECT_FALSE(view_.unloaded) << "the operator can still correct the input";
  EXPECT_FALSE(std::filesystem::exists(Cfg()));

  view_.urls[0] = "https://mdm.example/station";
  view_.urls[1] = "https://mdm.example/preise\r";
  form_->SelectCert_Click(1);
  EXPECT_TRUE(Contains(view_.messages.back(), "URL Preisdatenlieferung: "));
  EXPECT_FALSE(view_.unloaded);

  // A directory in the file's place: the write fails and says where.
  view_.urls[1] = "https://mdm.example/preise";
  std::filesystem::create_directories(Cfg() / "x");
  form_->SelectCert_Click(1);
  EXPECT_TRUE(
      view_.messages.back().starts_with("Kestrin: Die Einstellungen konnten nicht gespeichert "
                                        "werden: " +
                                        Cfg().string()))
      << view_.messages.back();
  EXPECT_FALSE(view_.unloaded);

  std::filesystem::remove_all(Cfg());
  form_->SelectCert_Click(1);
  EXPECT_TRUE(view_.unloaded);
  EXPECT_EQ(view_.messages.size(), 3u);
  EXPECT_EQ(
      ReadFile(Cfg()),
      std::string(kClient) + "\r\nhttps://mdm.example/station\r\nhttps://mdm.example/preise\r\n");
}

TEST_F(CertManagerTest, ASettingsFileThatCannotBeReadIsReported) {
  // A socket cannot be opened as a file, not even by root.
  const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(s, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(Cfg().string().size(), sizeof address.sun_path);
  std::strcpy(address.sun_path, Cfg().c_str());
  ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  Load();
  ::close(s);
  ASSERT_EQ(view_.messages.size(), 1u);
  EXPECT_TRUE(view_.messages[0].starts_with(
      "Kestrin: Die Einstellungen können nicht gelesen werden: " + Cfg().string() + ": "))
      << view_.messages[0];
  EXPECT_TRUE(Contains(view_.messages[0], "Kestrin speichert deshalb nicht über diese Datei"));
  EXPECT_EQ(view_.in_use, "");
  EXPECT_EQ(view_.certificates.size(), 2u) << "the stores are shown all the same";

  // "Beenden" offers no saving: three empty lines would replace the settings.
  form_->SelectCert_Click(0);
  form_->SelectCert_Click(1);
  EXPECT_TRUE(view_.questions.empty()) << "no \"Speichern?\"";
  EXPECT_TRUE(view_.unloaded);
  EXPECT_TRUE(std::filesystem::is_socket(Cfg())) << "what stands there stays";
}

// Root in the service account's directory: told at once how to start
// Kestrin instead, and "Beenden" saves nothing there.
TEST_F(CertManagerTest, AsRootInAnotherAccountsDirectoryNothingIsSaved) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root";
  ASSERT_EQ(chown(dir_.path().c_str(), 65534, 65534), 0);  // nobody
  Load();
  ASSERT_EQ(view_.messages.size(), 1u);
  EXPECT_TRUE(Contains(view_.messages[0], "Bitte Kestrin als dieses Konto starten: runuser -u " +
                                              std::string(getpwuid(65534)->pw_name) +
                                              " -- kestrin --program-dir " + dir_.path().string()));
  form_->SelectCert_Click(0);
  form_->SelectCert_Click(1);
  EXPECT_TRUE(view_.questions.empty()) << "no \"Speichern?\"";
  EXPECT_TRUE(view_.unloaded);
  EXPECT_FALSE(std::filesystem::exists(Cfg()));
}

}  // namespace
}  // namespace velunor
