#include "certmanager/kestrin_form.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "certmanager/detail_text.h"
#include "shared/settings_file.h"

namespace velunor {

namespace {

constexpr const char* kUrlNames[] = {"URL Grunddatenlieferung", "URL Preisdatenlieferung"};

}  // namespace

CertManager::CertManager(CertManagerView& view, const CertMgr& cert_mgr,
                         std::filesystem::path program_dir)
    : view_(view), cert_mgr_(cert_mgr), program_dir_(std::move(program_dir)) {}

void CertManager::Form_Load() {
  const StoreNames stores = cert_mgr_.Stores();
  for (const std::string& name : stores.names) view_.AddStore(name);
  if (!stores.names.empty()) {
    view_.SelectStore(0);
    cbStores_Click();
  } else {
    view_.EnableSelectCertificate(false);
    // Most often a wrong --cert-store; the path tells the operator where Kestrin looked.
    if (!stores.status.ok()) view_.SetInfo(UnreadableStoreLine(stores.status.message()));
  }

  const std::string owner = ForeignOwner(program_dir_, geteuid());
  if (!owner.empty()) {
    foreign_owner_ = true;
    view_.ShowMessage("Kestrin speichert als root keine Einstellungen in " + program_dir_.string() +
                          ": das Verzeichnis gehört dem Konto " + owner +
                          ", unter dem Velunor läuft. Bitte Kestrin als dieses Konto starten: "
                          "runuser -u " +
                          owner + " -- kestrin --program-dir " + program_dir_.string(),
                      kMessageTitle);
  }

  const SettingsFileRead settings = ReadSettingsFile(program_dir_ / kSettingsFileName);
  if (!settings.status.ok()) {
    // Empty fields would look like a fresh installation, and saving them would
    // throw away the settings the service runs with: no saving this time.
    settings_unreadable_ = true;
    view_.ShowMessage(
        "Die Einstellungen können nicht gelesen werden: " + settings.status.message() +
            "\nKestrin speichert deshalb nicht über diese Datei; bitte die Datei "
            "lesbar machen und Kestrin neu starten.",
        kMessageTitle);
    return;
  }
  if (!settings.found) return;
  // A short file fills the fields it has lines for; the others stay empty.
  certificate_in_use_ = settings.values.VerwendetesZertifikat;
  view_.SetCertificateInUse(certificate_in_use_);
  view_.SetUrl(0, settings.values.UrlGrunddatenlieferung);
  view_.SetUrl(1, settings.values.UrlPreisdatenlieferung);
}

void CertManager::cbStores_Click() {
  view_.ClearCertificates();
  view_.SetInfo("");
  chosen_ = -1;
  store_ = cert_mgr_.List(view_.StoreText());
  for (const CertificateEntry& entry : store_.listing.certificates) {
    view_.AddCertificate(entry.details.subject);
  }
  if (store_.listing.certificates.empty()) {
    // Left enabled by the previous store, the button would take a certificate
    // that is no longer on the screen.
    view_.EnableSelectCertificate(false);
    ShowInfo();
    return;
  }
  view_.HighlightCertificate(0);
  ZertList_Click();
  view_.EnableSelectCertificate(true);
}

void CertManager::ZertList_Click() {
  const int row = view_.HighlightedCertificate();
  const int count = static_cast<int>(store_.listing.certificates.size());
  // By position, not by subject: an old certificate beside its renewal has
  // the same subject, and each row shows its own details.
  chosen_ = row >= 0 && row < count ? row : -1;
  ShowInfo();
}

void CertManager::SelectCert_Click(int index) {
  if (index == 0) {
    if (chosen_ < 0) return;
    certificate_in_use_ = store_.listing.certificates[chosen_].details.subject;
    view_.SetCertificateInUse(certificate_in_use_);
  } else if (index == 1) {
    Beenden();
  }
}

void CertManager::ShowInfo() {
  std::string text;
  if (chosen_ >= 0) text = DetailText(store_.listing.certificates[chosen_].details);
  std::string problems;
  if (!store_.status.ok()) problems += UnreadableStoreLine(store_.status.message());
  for (const UnreadableFile& file : store_.listing.problems) problems += UnreadableFileLine(file);
  if (!text.empty() && !problems.empty()) text += "\r\n";
  view_.SetInfo(text + problems);
}

Status CheckSettings(const TransmissionSettings& values) {
  const std::string* urls[] = {&values.UrlGrunddatenlieferung, &values.UrlPreisdatenlieferung};
  for (int i = 0; i < 2; ++i) {
    if (urls[i]->find_first_of("\r\n") != std::string::npos) {
      return Status::Error(
          0, std::string(kUrlNames[i]) +
                 ": Die Eingabe enthält einen Zeilenumbruch und kann so nicht gespeichert werden.");
    }
  }
  return Status();
}

std::string ForeignOwner(const std::filesystem::path& program_dir, uid_t writer) {
  struct stat st {};
  if (writer != 0 || stat(program_dir.c_str(), &st) != 0 || st.st_uid == 0) return "";
  const passwd* owner = getpwuid(st.st_uid);
  return owner != nullptr ? owner->pw_name : std::to_string(st.st_uid);
}

void CertManager::Beenden() {
  if (settings_unreadable_ || foreign_owner_ || !view_.AskYesNo(kSaveQuestion, kSaveTitle)) {
    view_.Unload();
    return;
  }
  const TransmissionSettings values{certificate_in_use_, view_.Url(0), view_.Url(1)};
  if (const Status checked = CheckSettings(values); !checked.ok()) {
    view_.ShowMessage(checked.message(), kMessageTitle);
    return;
  }
  if (const Status saved = WriteSettingsFile(program_dir_ / kSettingsFileName, values);
      !saved.ok()) {
    view_.ShowMessage("Die Einstellungen konnten nicht gespeichert werden: " + saved.message(),
                      kMessageTitle);
    return;
  }
  view_.Unload();
}

}  // namespace velunor
