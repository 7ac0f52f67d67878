// German dialogs for both windows: Qt's own German translations when the
// system has them (Debian's qt6-translations-l10n), and the standard
// buttons the programs use labelled in German by the programs themselves,
// so that a system without the translations shows "Ja"/"Nein" too.
#pragma once

class QMessageBox;

namespace velunor {

// Loads Qt's German translations into the running application, if present.
// REQUIRES: a QCoreApplication exists. Call once.
void InstallGermanTranslations();

// "Ja", "Nein", "OK", "Abbrechen" on the box's standard buttons.
void GermanButtons(QMessageBox& box);

}  // namespace velunor
