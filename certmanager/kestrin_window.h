// Kestrin's window "Velunor Zertifikatsauswahl": the frames "Zertifikat" and
// "Konfiguration" with the form's controls, a thin Qt view over CertManager.
// Every widget carries its control's name as object name ("cbStores",
// "ZertList", "tInfo", "SelectCert_0", "Text1_1", ...). Window thread only.
#pragma once

#include <QMainWindow>

#include "certmanager/kestrin_form.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace velunor {

class KestrinWindow : public QMainWindow, public CertManagerView {
  Q_OBJECT

 public:
  explicit KestrinWindow(QWidget* parent = nullptr);

  // From now on the operator's actions run `form`'s event handlers. `form`
  // must outlive the window's event processing.
  void Connect(CertManager& form);

  void AddStore(const std::string& name) override;
  void SelectStore(int index) override;
  std::string StoreText() const override;
  void ClearCertificates() override;
  void AddCertificate(const std::string& subject) override;
  void HighlightCertificate(int index) override;
  int HighlightedCertificate() const override;
  void SetInfo(const std::string& text) override;
  void EnableSelectCertificate(bool enabled) override;
  void SetCertificateInUse(const std::string& subject) override;
  void SetUrl(int index, const std::string& url) override;
  std::string Url(int index) const override;
  bool AskYesNo(const std::string& text, const std::string& title) override;
  void ShowMessage(const std::string& text, const std::string& title) override;
  void Unload() override;

 private:
  QWidget* BuildCertificateFrame();
  QWidget* BuildConfigurationFrame();

  CertManager* form_ = nullptr;
  QComboBox* stores_ = nullptr;     // cbStores
  QListWidget* list_ = nullptr;     // ZertList
  QPlainTextEdit* info_ = nullptr;  // tInfo
  QPushButton* select_ = nullptr;   // SelectCert(0)
  QLabel* in_use_ = nullptr;        // Label4
  QLineEdit* urls_[2] = {};         // Text1(0), Text1(1)
  QPushButton* end_ = nullptr;      // SelectCert(1)
};

}  // namespace velunor
