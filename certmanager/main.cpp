// kestrin: the certificate and URL manager. Builds the window over the
// certificate store and the program directory and runs it until "Beenden"
// or the title bar ends it. Exit status: 0 normal end, 1 no display or no
// screenshot written, 2 usage error.
#include <QApplication>
#include <QPixmap>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "certmanager/kestrin_cli.h"
#include "certmanager/kestrin_form.h"
#include "certmanager/kestrin_options.h"
#include "certmanager/kestrin_window.h"
#include "certmanager/store_browser.h"
#include "shared/cert_store.h"
#include "shared/display.h"
#include "shared/output_line.h"
#include "shared/program_dir.h"
#include "shared/qt/german_dialogs.h"
#include "shared/version.h"

int main(int argc, char** argv) {
  using namespace velunor;
  const KestrinOptions options =
      ParseKestrinOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (const std::optional<int> answered =
          AnswerUsage("kestrin", options.status, options.help, options.version, KestrinUsage(),
                      std::string("Kestrin V ") + kVersion)) {
    return *answered;
  }

  const ProgramLocations locations =
      ResolveProgramLocations(argv[0], options.program_dir, options.cert_store);
  const std::filesystem::path& program_dir = locations.program_dir;
  const std::filesystem::path& cert_store = locations.cert_store;
  if (!std::filesystem::is_directory(program_dir)) {
    PrintLine(stderr, "kestrin: program directory " + program_dir.string() + " does not exist");
    return 2;
  }
  const DirectoryCertStore store(cert_store);
  if (options.list) return ListCertificates(store, options.list_store, stdout, stderr);
  if (options.show) return ShowSettings(program_dir, stdout, stderr);
  if (options.set) {
    return SetSettings(store, program_dir,
                       {options.certificate, options.station_url, options.price_url}, stdout,
                       stderr, std::vector<std::string>(argv, argv + argc));
  }

  // Without a display Qt aborts with a message about platform plugins.
  if (!DisplayAvailable()) {
    std::fprintf(stderr, "kestrin: no display (set DISPLAY, or QT_QPA_PLATFORM=offscreen)\n");
    return 1;
  }

  QApplication app(argc, argv);
  InstallGermanTranslations();
  const DirectoryCertMgr cert_mgr(store);
  KestrinWindow window;
  CertManager form(window, cert_mgr, program_dir);
  window.Connect(form);
  form.Form_Load();
  window.show();

  if (!options.screenshot.empty()) {
    QApplication::processEvents();
    if (!window.grab().save(QString::fromStdString(options.screenshot), "PNG")) {
      std::fprintf(stderr, "kestrin: cannot write %s\n", options.screenshot.c_str());
      return 1;
    }
    return 0;
  }
  return QApplication::exec();
}
