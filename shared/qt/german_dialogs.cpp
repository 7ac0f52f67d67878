#include "shared/qt/german_dialogs.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

namespace velunor {

void InstallGermanTranslations() {
  // Owned by the application, which outlives every dialog.
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (translator->load(QLocale(QLocale::German, QLocale::Germany), "qtbase", "_",
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(translator);
  } else {
    delete translator;
  }
}

void GermanButtons(QMessageBox& box) {
  const struct {
    QMessageBox::StandardButton button;
    const char* text;
  } kTexts[] = {{QMessageBox::Yes, "Ja"},
                {QMessageBox::No, "Nein"},
                {QMessageBox::Ok, "OK"},
                {QMessageBox::Cancel, "Abbrechen"}};
  for (const auto& t : kTexts) {
    if (QAbstractButton* b = box.button(t.button)) b->setText(QString::fromUtf8(t.text));
  }
}

}  // namespace velunor
