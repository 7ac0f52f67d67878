// The form `CertManager` of Kestrin without its widgets: the event handlers
// that browse the certificate stores, show a certificate's details, take the
// certificate in use and, on the operator's confirmation, write Velunor.CFG.
// Nothing reaches the disk except through "Beenden" answered with Yes.
// Single-threaded: the window's event thread calls every handler.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

#include "certmanager/kestrin_form_view.h"
#include "certmanager/store_browser.h"
#include "shared/settings_file.h"
#include "shared/status.h"

namespace velunor {

inline constexpr const char* kSaveQuestion = "Möchten Sie evtl. vorgenommene Änderungen speichern?";
inline constexpr const char* kSaveTitle = "Speichern?";
inline constexpr const char* kMessageTitle = "Kestrin";

// Ok when `values` can be stored; otherwise why not: a URL with a line break
// would split over two lines of the file and shift every setting after it.
Status CheckSettings(const TransmissionSettings& values);

// When `writer` is root and `program_dir` belongs to another account: that
// account's name (its number when it has no name), "" otherwise. The
// service runs as the directory's owner; a Velunor.CFG that root wrote there
// would be root's, and the account could not set it up with Kestrin again.
std::string ForeignOwner(const std::filesystem::path& program_dir, uid_t writer);

class CertManager {
 public:
  // `view` and `cert_mgr` must outlive this object. Velunor.CFG is read from
  // and written to `program_dir`.
  CertManager(CertManagerView& view, const CertMgr& cert_mgr, std::filesystem::path program_dir);

  // Lists the stores, opens the first one, then shows the settings file.
  // A settings file that exists but cannot be read is reported in a message.
  void Form_Load();

  // Shows the certificates of the store named in `cbStores` and the details
  // of the first; a store that cannot be read and unreadable files show as
  // lines in `tInfo`. `SelectCert`(0) is enabled only while there is a
  // certificate to take.
  void cbStores_Click();

  // Shows the details of the highlighted certificate.
  void ZertList_Click();

  // 0: the highlighted certificate becomes the one in use (`Label4`).
  // 1: asks "Speichern?"; Yes writes Velunor.CFG and ends, No just ends. A
  //    value that cannot be stored, or a failed write, is reported and the
  //    window stays open so the input is not lost.
  void SelectCert_Click(int index);

 private:
  void ShowInfo();
  void Beenden();

  CertManagerView& view_;
  const CertMgr& cert_mgr_;
  std::filesystem::path program_dir_;
  StoreContents store_;  // the store chosen in `cbStores`
  int chosen_ = -1;      // index of the chosen certificate in store_, -1 none
  std::string certificate_in_use_;
  // Velunor.CFG exists but could not be read: Kestrin never saves over it.
  bool settings_unreadable_ = false;
  // Run as root on a directory of the service's account: nothing is saved.
  bool foreign_owner_ = false;
};

}  // namespace velunor
