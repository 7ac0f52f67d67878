// velunor-window-demo: the operator window on sample stations, run by the real
// start-up sequence and scheduler over stand-in procedures (no database, no
// network; every third transmission fails). With --screenshot it sends one
// station and two price publications, the last one failing, saves the window
// as a PNG and ends.
//   velunor-window-demo [--tick-ms N] [--ticks N] [--screenshot FILE]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>

#include "service/common/clock.h"
#include "service/common/env.h"
#include "service/common/fehler_log.h"
#include "service/common/window_model.h"
#include "service/common/zusatzfunktionen.h"
#include "service/core/komm_log.h"
#include "service/core/markt_transp.h"
#include "service/core/procedures.h"
#include "service/core/qt/qt_front_end.h"

namespace velunor {
namespace {

struct SampleStation {
  const char* number_and_name;
  const char* active;
  const char* products[3];  // station product numbers of Super E5, Super E10, Diesel
  const char* prices[3];
  const char* time;
};

constexpr SampleStation kStations[] = {
    {"101 Tankstelle Am Markt", "J", {"1", "2", "3"}, {"1.799 €", "1.739 €", "1.659 €"}, "08:47"},
    {"102 Autohof Nordring", "J", {"11", "12", "13"}, {"1.819 €", "1.759 €", "1.679 €"}, "08:52"},
    {"105 Station Lindenallee", "J", {"1", "----", "3"}, {"1.789 €", "", "1.649 €"}, "07:58"},
    {"110 Tankstelle Hafenstraße", "N", {"----", "----", "----"}, {"", "", ""}, ""},
    {"112 Waschpark & Tankstelle Süd",
     "J",
     {"1", "2", "3"},
     {"1.809 €", "1.749 €", "1.669 €"},
     "09:01"},
};

// The stand-in for the database, publication and transmission procedures.
class DemoProcedures : public Procedures {
 public:
  explicit DemoProcedures(Env& env) : env_(env), komm_log_(env) {}

  int DB_Verbinden() override { return 1; }
  std::string ConnectDiagnostic() override { return ""; }
  void DB_Trennen() override {}
  void DB_LOXStammdaten() override {
    WindowModel& w = env_.window;
    w.SetFrame1("Stationen zu Müller && Söhne Mineralöl GmbH");  // "&" doubled for the caption
    w.SetGridRows(2);
    const char* head_office[] = {"Zentrale", "",        "1 - SUP", "2 - E10",
                                 "3 - DIE",  "4 - LPG", "----"};
    for (int column = 0; column < WindowModel::kGridColumns; ++column) {
      w.SetCell(1, column, head_office[column]);
    }
    const int count = static_cast<int>(std::size(kStations));
    w.SetGridRows(2 * count + 2);
    const std::string today = Today();
    for (int i = 1; i <= count; ++i) {
      const SampleStation& s = kStations[i - 1];
      w.SetCell(2 * i, 0, s.number_and_name);
      w.SetCell(2 * i, 1, s.active);
      for (int fuel = 0; fuel < 3; ++fuel) {
        w.SetCell(2 * i, 2 + fuel, s.products[fuel]);
        w.SetCell(2 * i + 1, 2 + fuel, s.prices[fuel]);
      }
      w.SetCell(2 * i, 5, "----");
      w.SetCell(2 * i, 6, "----");
      if (*s.time != '\0') w.SetCell(2 * i + 1, 0, "     " + today + " " + s.time);
    }
  }
  void XML_Init() override {}
  int DB_Stationsdaten(int) override { return 0; }
  void XML_Stationsdaten() override {}
  void XML_Preisdaten() override {}
  void XML_Out_Station() override {
    ++station_sequence_;
    env_.window.SetLabel1(1, "G-" + StationPublicationNumber() + " am: " + Timestamp());
  }
  void XML_Out_Preise() override {
    ++price_sequence_;
    env_.window.SetLabel1(3, "P-" + PricePublicationNumber() + " am: " + Timestamp());
  }
  void DB_Get_MTS_StationsPreise() override {
    // The first station's Diesel price moves with every export.
    static constexpr const char* kDiesel[] = {"1.649 €", "1.659 €", "1.669 €"};
    env_.window.SetCell(3, 4, kDiesel[price_sequence_ % 3]);
    const DateTime t = env_.clock.Now();
    env_.window.SetCell(3, 0, "     " + Today() + " " + Pad(t.hour, 2) + ":" + Pad(t.minute, 2));
  }
  void AktuellePreiseZuordnen() override {}
  void DB_Preisdaten() override {}
  void DB_TransferLog(int, const std::string&) override {}
  void Gas_Tankstelle_Export() override {}
  void NachtlaufAusfuehren() override {}
  std::string SOAPEnvelope() override { return std::string(2400, 'x'); }
  int SOAPTransaction(const std::string& data, const std::string& url) override {
    int result = ++transmissions_ % 3 == 0 ? 1 : 0;
    if (!outcomes.empty()) {
      result = outcomes.front();
      outcomes.pop_front();
    }
    KommLog("Verbindung zu " + url);
    KommLog("TLS 1.2, Client-Zertifikat CN=Müller Tankstellen GmbH, O=Müller, C=DE");
    KommLog("Anfrage gesendet (" + std::to_string(data.size()) + " Bytes)");
    KommLog(result == 0 ? "Antwort: acknowledge" : "Antwort: HTTP 503 Service Unavailable");
    return result;
  }
  void KommLog(const std::string& meldung) override { komm_log_.KommLog(meldung); }
  void StationPublicationAcknowledged() override {}
  std::optional<std::int64_t> UnacknowledgedStationsSince() override { return std::nullopt; }
  std::string StationPublicationNumber() override { return "2026-" + Pad(station_sequence_, 6); }
  std::string PricePublicationNumber() override { return "2026-" + Pad(price_sequence_, 6); }
  std::string UrlGrunddatenlieferung() override { return "https://mdm.example.invalid/station"; }
  std::string UrlPreisdatenlieferung() override { return "https://mdm.example.invalid/prices"; }
  int LpgExportAktiv() override { return 0; }

  std::deque<int> outcomes;  // results of the next transmissions (0 success), before the rule

 private:
  std::string Today() const {
    const DateTime t = env_.clock.Now();
    return Pad(t.year, 4) + "-" + Pad(t.month, 2) + "-" + Pad(t.day, 2);
  }
  std::string Timestamp() const {
    const DateTime t = env_.clock.Now();
    return Today() + "T" + Pad(t.hour, 2) + ":" + Pad(t.minute, 2) + ":" + Pad(t.second, 2) +
           (env_.clock.ZoneState() == 2 ? "+02:00" : "+01:00");
  }

  Env& env_;
  KommLogWriter komm_log_;
  long station_sequence_ = 41;
  long price_sequence_ = 1386;
  int transmissions_ = 0;
};

// One station and two price transmissions, the second price one failing,
// then an idle tick; driven directly, the timer never fires meanwhile.
void RunSampleTransmissions(MarktTransp& window, DemoProcedures& procs) {
  procs.outcomes = {0, 0, 1};
  window.AblaufStatus = 31;
  for (int tick = 0; tick < 60 && (window.AblaufStatus != 0 || !procs.outcomes.empty()); ++tick) {
    if (window.AblaufStatus == 0) window.AblaufStatus = 1;
    window.Haupt_Timer_Timer();
  }
  window.Haupt_Timer_Timer();
}

int Main(int argc, char** argv) {
  int tick_ms = 1000;
  long ticks = 0;
  std::string screenshot;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--tick-ms" && i + 1 < argc) {
      tick_ms = std::atoi(argv[++i]);
    } else if (arg == "--ticks" && i + 1 < argc) {
      ticks = std::atol(argv[++i]);
    } else if (arg == "--screenshot" && i + 1 < argc) {
      screenshot = argv[++i];
    } else {
      std::fprintf(stderr,
                   "usage: velunor-window-demo [--tick-ms N] [--ticks N] [--screenshot FILE]\n");
      return 2;
    }
  }
  if (!QtDisplayAvailable()) {
    std::fprintf(stderr, "velunor-window-demo: no display (set DISPLAY or QT_QPA_PLATFORM)\n");
    return 1;
  }

  const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                    ("velunor-window-demo-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "STATION.INI") << "demo\r\n\r\n\r\n\r\n";

  int status = 0;
  {
    SystemClock clock;
    FehlerLog log(dir, clock);
    WindowModel model;
    QtFrontEnd front_end(argc, argv, model);
    Env env{dir, clock, log, model, front_end};
    DemoProcedures procs(env);
    std::string server, user, password;
    MarktTransp window(env, procs, front_end, {&server, &user, &password});
    if (screenshot.empty()) {
      status = front_end.Run(window, tick_ms, ticks);
    } else if (!front_end.Start(window, 3600 * 1000, 0)) {
      status = front_end.exit_code();
    } else {
      RunSampleTransmissions(window, procs);
      if (!front_end.SaveScreenshot(screenshot)) {
        std::fprintf(stderr, "velunor-window-demo: cannot write %s\n", screenshot.c_str());
        status = 1;
      }
      window.Form_Unload();
    }
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return status;
}

}  // namespace
}  // namespace velunor

int main(int argc, char** argv) { return velunor::Main(argc, argv); }
