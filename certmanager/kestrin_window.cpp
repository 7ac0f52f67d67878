#include "certmanager/kestrin_window.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>

#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QVBoxLayout>
#include "shared/output_line.h"
#include "shared/qt/german_dialogs.h"
#include "shared/version.h"

#include <cstdio>

namespace velunor {

namespace {

constexpr const char* kStyle = R"(
QMainWindow, QWidget#Central { background: #f4f6f8; }
QGroupBox {
  background: #ffffff; border: 1px solid #cfd8e3; border-radius: 4px;
  margin-top: 14px; padding: 10px 8px 8px 8px; font-weight: bold; color: #1f5f8b;
}
QGroupBox::title { subcontrol-origin: margin; left: 10px; padding: 0 4px; }
QGroupBox QLabel, QGroupBox QPushButton, QGroupBox QComboBox, QGroupBox QLineEdit,
QGroupBox QListWidget, QGroupBox QPlainTextEdit { font-weight: normal; color: #1f2933; }
QLabel#Label4 {
  background: #f4f6f8; border: 1px solid #cfd8e3; border-radius: 3px; padding: 3px 6px;
}
QListWidget::item:selected { background: #dbe7f3; color: #1f2933; }
QPushButton { padding: 5px 18px; }
QStatusBar { background: #e9eef4; }
QStatusBar QLabel { padding: 2px 8px; }
)";

QString Q(const std::string& text) { return QString::fromStdString(text); }

QLabel* NewLabel(const char* name, const char* caption, QWidget* parent) {
  auto* label = new QLabel(QString::fromUtf8(caption), parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  return label;
}

QPushButton* NewButton(const char* name, const char* caption, QWidget* parent) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

KestrinWindow::KestrinWindow(QWidget* parent) : QMainWindow(parent) {
  setObjectName("CertManager");
  setWindowTitle("Velunor Zertifikatsauswahl");
  setStyleSheet(kStyle);

  auto* central = new QWidget(this);
  central->setObjectName("Central");
  auto* layout = new QVBoxLayout(central);
  layout->addWidget(BuildCertificateFrame(), 1);
  layout->addWidget(BuildConfigurationFrame());
  end_ = NewButton("SelectCert_1", "Beenden", central);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(end_);
  layout->addLayout(buttons);
  setCentralWidget(central);

  auto* status = NewLabel("StatusBar1", (std::string("Kestrin V ") + kVersion).c_str(), this);
  statusBar()->addWidget(status, 1);
  statusBar()->setSizeGripEnabled(false);
  resize(860, 780);
}

QWidget* KestrinWindow::BuildCertificateFrame() {
  auto* frame = new QGroupBox(QString::fromUtf8("Zertifikat"), this);
  frame->setObjectName("Frame1_0");
  auto* grid = new QGridLayout(frame);

  stores_ = new QComboBox(frame);
  stores_->setObjectName("cbStores");
  list_ = new QListWidget(frame);
  list_->setObjectName("ZertList");
  list_->setMinimumHeight(110);
  info_ = new QPlainTextEdit(frame);
  info_->setObjectName("tInfo");
  info_->setReadOnly(true);
  info_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  info_->setMinimumHeight(230);
  select_ = NewButton("SelectCert_0", "Zertifikat auswählen", frame);
  select_->setEnabled(false);  // until a store shows a certificate

  grid->addWidget(NewLabel("Label1", "Zertifikatsspeicher:", frame), 0, 0);
  grid->addWidget(stores_, 0, 1);
  grid->setColumnStretch(1, 1);
  grid->addWidget(NewLabel("Label2_0", "Verfügbare Zertifikate:", frame), 1, 0, 1, 2);
  grid->addWidget(list_, 2, 0, 1, 2);
  grid->addWidget(NewLabel("Label3", "Detail-Information zum ausgewählten Zertifikat:", frame), 3,
                  0, 1, 2);
  grid->addWidget(info_, 4, 0, 1, 2);
  grid->setRowStretch(2, 1);
  grid->setRowStretch(4, 2);
  grid->addWidget(select_, 5, 1, Qt::AlignRight);
  return frame;
}

QWidget* KestrinWindow::BuildConfigurationFrame() {
  auto* frame = new QGroupBox(QString::fromUtf8("Konfiguration"), this);
  frame->setObjectName("Frame1_1");
  auto* grid = new QGridLayout(frame);

  in_use_ = NewLabel("Label4", "", frame);
  in_use_->setWordWrap(true);
  in_use_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  for (int i = 0; i < 2; ++i) {
    urls_[i] = new QLineEdit(frame);
    urls_[i]->setObjectName(QString("Text1_%1").arg(i));
  }
  grid->addWidget(NewLabel("Label2_1", "Verwendetes Zertifikat:", frame), 0, 0);
  grid->addWidget(in_use_, 0, 1);
  grid->addWidget(NewLabel("Label2_2", "URL Grunddatenlieferung:", frame), 1, 0);
  grid->addWidget(urls_[0], 1, 1);
  grid->addWidget(NewLabel("Label2_3", "URL Preisdatenlieferung:", frame), 2, 0);
  grid->addWidget(urls_[1], 2, 1);
  grid->setColumnStretch(1, 1);
  return frame;
}

void KestrinWindow::Connect(CertManager& form) {
  form_ = &form;
  // activated comes from the operator only; a store chosen by the form does
  // not run the handler a second time.
  connect(stores_, &QComboBox::activated, this, [this](int) { form_->cbStores_Click(); });
  // Keys move the highlight too; the form's own changes are made with the
  // list's signals blocked.
  connect(list_, &QListWidget::currentRowChanged, this, [this](int) { form_->ZertList_Click(); });
  connect(select_, &QPushButton::clicked, this, [this] { form_->SelectCert_Click(0); });
  connect(end_, &QPushButton::clicked, this, [this] { form_->SelectCert_Click(1); });
}

void KestrinWindow::AddStore(const std::string& name) { stores_->addItem(Q(name)); }

void KestrinWindow::SelectStore(int index) { stores_->setCurrentIndex(index); }

std::string KestrinWindow::StoreText() const { return stores_->currentText().toStdString(); }

void KestrinWindow::ClearCertificates() {
  const QSignalBlocker quiet(list_);
  list_->clear();
}

void KestrinWindow::AddCertificate(const std::string& subject) {
  const QSignalBlocker quiet(list_);
  list_->addItem(Q(subject));
}

void KestrinWindow::HighlightCertificate(int index) {
  const QSignalBlocker quiet(list_);
  list_->setCurrentRow(index);
}

int KestrinWindow::HighlightedCertificate() const { return list_->currentRow(); }

void KestrinWindow::SetInfo(const std::string& text) {
  QString shown = Q(text);
  shown.replace("\r\n", "\n");
  if (shown.endsWith('\n')) shown.chop(1);  // no empty line under the last one
  info_->setPlainText(shown);
}

void KestrinWindow::EnableSelectCertificate(bool enabled) { select_->setEnabled(enabled); }

void KestrinWindow::SetCertificateInUse(const std::string& subject) {
  in_use_->setText(Q(subject));
}

void KestrinWindow::SetUrl(int index, const std::string& url) {
  urls_[index]->setText(Q(url));
  urls_[index]->setCursorPosition(0);
}

std::string KestrinWindow::Url(int index) const { return urls_[index]->text().toStdString(); }

bool KestrinWindow::AskYesNo(const std::string& text, const std::string& title) {
  QMessageBox box(QMessageBox::Question, Q(title), Q(text), QMessageBox::Yes | QMessageBox::No,
                  this);
  box.setDefaultButton(QMessageBox::Yes);
  box.setTextFormat(Qt::PlainText);
  GermanButtons(box);
  return box.exec() == QMessageBox::Yes;
}

void KestrinWindow::ShowMessage(const std::string& text, const std::string& title) {
  // Also on standard error, so that a message shown on nobody's screen is not lost.
  PrintLine(stderr, "kestrin: " + text);
  QMessageBox box(QMessageBox::Warning, Q(title), Q(text), QMessageBox::Ok, this);
  // Paths and certificate subjects are shown as they are, never as markup.
  box.setTextFormat(Qt::PlainText);
  GermanButtons(box);
  box.exec();
}

void KestrinWindow::Unload() { close(); }

}  // namespace velunor
