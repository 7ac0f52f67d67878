// What the form logic of Kestrin needs of its window: the controls it fills
// and reads, two message boxes and the end of the program. Texts are UTF-8.
// Setting a control from here never fires an event handler; only the
// operator's actions do.
#pragma once

#include <string>

namespace velunor {

class CertManagerView {
 public:
  virtual ~CertManagerView() = default;

  // `cbStores`
  virtual void AddStore(const std::string& name) = 0;
  virtual void SelectStore(int index) = 0;
  virtual std::string StoreText() const = 0;

  // `ZertList`
  virtual void ClearCertificates() = 0;
  virtual void AddCertificate(const std::string& subject) = 0;
  virtual void HighlightCertificate(int index) = 0;
  virtual int HighlightedCertificate() const = 0;  // -1 when none

  // `tInfo`: replaces the whole text; lines end with CR LF.
  virtual void SetInfo(const std::string& text) = 0;

  // `SelectCert`(0), "Zertifikat auswählen"
  virtual void EnableSelectCertificate(bool enabled) = 0;

  // `Label4`, the certificate in use
  virtual void SetCertificateInUse(const std::string& subject) = 0;

  // `Text1`(0) station data URL, `Text1`(1) price data URL
  virtual void SetUrl(int index, const std::string& url) = 0;
  virtual std::string Url(int index) const = 0;

  // A modal question with the buttons Yes and No; true for Yes.
  virtual bool AskYesNo(const std::string& text, const std::string& title) = 0;
  // A modal message with an OK button.
  virtual void ShowMessage(const std::string& text, const std::string& title) = 0;

  // Hides and unloads the window, which ends the program.
  virtual void Unload() = 0;
};

}  // namespace velunor
