// For tests that drive Kestrin's window: the application on Qt's offscreen
// platform (a test never opens a window on a desktop), the window built over
// a real certificate store as main builds it, and an answer to the next
// message box. Window thread only.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "certmanager/kestrin_form.h"
#include "certmanager/kestrin_window.h"
#include "certmanager/store_browser.h"
#include "shared/cert_store.h"

namespace velunor::kestrin_test {

// The offscreen platform's notes about what it cannot do would bury real warnings.
inline void DropPlatformNotes(QtMsgType type, const QMessageLogContext& context,
                              const QString& text) {
  if (text.startsWith("This plugin does not support") || text.startsWith("QStandardPaths:")) {
    return;
  }
  std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

// The one application of the test program, made on first use.
inline QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "kestrin-test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(DropPlatformNotes);
    return new QApplication(argc, argv);
  }();
  return *app;
}

// Kestrin as main starts it: store, form, window, Form_Load, shown.
struct Kestrin {
  Kestrin(const std::filesystem::path& program_dir, const std::filesystem::path& cert_store)
      : store(cert_store), mgr(store), form(window, mgr, program_dir) {
    window.Connect(form);
    form.Form_Load();
    window.show();
  }

  template <class T>
  T* Find(const char* name) {
    return window.findChild<T*>(name);
  }

  // The operator picks a store from the drop-down list.
  void ChooseStore(const QString& name) {
    auto* stores = Find<QComboBox>("cbStores");
    const int index = stores->findText(name);
    stores->setCurrentIndex(index);
    emit stores->activated(index);
  }
  void Click(const char* button) { Find<QPushButton>(button)->click(); }

  QApplication& app = TestApplication();  // first: the widgets need it
  DirectoryCertStore store;
  DirectoryCertMgr mgr;
  KestrinWindow window;
  CertManager form;
};

// Watches for the next modal message box and presses `button` on it, while
// the object lives; `seen` tells whether one came and what it said; `look`
// sees the box before the press. One at a time: two would race for the same
// box.
class BoxAnswer {
 public:
  explicit BoxAnswer(QMessageBox::StandardButton button,
                     std::function<void(QMessageBox&)> look = nullptr) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this, button, look] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      timer_.stop();
      seen = true;
      title = box->windowTitle().toStdString();
      text = box->text().toStdString();
      if (look) look(*box);
      box->button(button)->click();
    });
    timer_.start();
  }

  bool seen = false;
  std::string title;
  std::string text;

 private:
  QTimer timer_;
};

}  // namespace velunor::kestrin_test
