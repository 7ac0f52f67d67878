#include "service/core/markt_transp.h"

#include <cstdio>
#include <filesystem>

#include "service/common/end_program.h"
#include "service/common/procedure.h"
#include "service/common/zusatzfunktionen.h"
#include "service/core/komm_log.h"
#include "service/core/station_ini.h"

#ifndef VELUNOR_VERSION
#define VELUNOR_VERSION "0.0.0"
#endif

namespace velunor {

namespace {

constexpr int16_t kIdle = 0;
constexpr int16_t kLostConnection = 800;
constexpr int16_t kReconnect = 817;
constexpr int16_t kShutdown = 900;

// The running number of a publication number "yyyy-nnnnnn": its text from
// the 6th character on, read as a number (0 when absent).
double Sequence(const std::string& publication_number) {
  return publication_number.size() < 6 ? 0.0 : NumberValue(publication_number.substr(5));
}

}  // namespace

std::string ClockPanelText(const Clock& clock) {
  const DateTime t = clock.Now();
  return Pad(t.hour, 2) + ":" + Pad(t.minute, 2) + ":" + Pad(t.second, 2) + " Uhr";
}

MarktTransp::MarktTransp(Env& env, Procedures& procedures, FrontEnd& front_end,
                         StationIniTarget ini, ServiceNotifier* notifier)
    : env_(env),
      procs_(procedures),
      front_end_(front_end),
      ini_(ini),
      notifier_(notifier),
      watch_(env, front_end) {}

void MarktTransp::Status(const std::string& text) {
  env_.window.SetInfo(NowFromDate(env_.clock) + text);
}

void MarktTransp::End(int exit_code) {
  if (notifier_ != nullptr) notifier_->Stopping();
  if (!unloaded_) Form_Unload();
  front_end_.Quit(exit_code);
}

void MarktTransp::Form_Load() {
  Procedure p(env_.log, "Form_Load");
  p.Run([&] { env_.window.SetCaption("Datenübergabe an die Markttransparenzstelle"); });
  p.Run([&] { env_.window.SetPanel(1, std::string("Velunor V ") + VELUNOR_VERSION); });
  p.Run([&] { env_.window.SetPanel(2, ClockPanelText(env_.clock)); });
  p.Run([&] { front_end_.AddTrayIcon(); });
}

void MarktTransp::Form_Activate() {
  if (AktivierungErfolgt == 1) return;
  AktivierungErfolgt = 1;
  Procedure p(env_.log, "Form_Activate");
  auto status = [&](const std::string& text, bool repaint) {
    p.Run([&] {
      Status(text);
      if (repaint) front_end_.Repaint();
    });
  };

  status(" Programmstart", false);
  status(" Einlesen der Station.ini", false);
  const std::filesystem::path path = env_.program_dir / kStationIniName;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    const std::string text = "Die Datei '" + path.string() + "' wurde nicht gefunden!";
    env_.log.Write(0, text, "Form_Activate", "");
    front_end_.Notice(text);
    End(1);
    return;
  }
  p.Run([&] {
    StationIni ini;
    if (!ReadStationIni(path, &ini)) {
      throw Failure(kErrPathFileAccess,
                    "Die Datei '" + path.string() + "' kann nicht gelesen werden");
    }
    *ini_.DbServer = ini.DbServer;
    *ini_.DbBenutzer = ini.DbBenutzer;
    *ini_.DbPasswort = ini.DbPasswort;
    if (ini.values_read < 4) {
      throw Failure(kErrInputPastEnd, "Eingabe hinter Dateiende: '" + path.string() + "' enthält " +
                                          std::to_string(ini.values_read) + " von 4 Werten");
    }
  });

  status(" Verbindung zur Datenbank wird hergestellt", true);
  int connected = 0;
  p.Run([&] { connected = procs_.DB_Verbinden(); });
  if (connected == 0) {
    front_end_.MessageBox("Keine Verbindung zur Datenbank möglich", kProgramName);
    // The message names no cause; the driver's own words go to standard error.
    std::string why;
    p.Run([&] { why = procs_.ConnectDiagnostic(); });
    if (!why.empty()) front_end_.Notice("Datenbank meldet: " + why);
    End(1);
    return;
  }

  status(" LOX-Stammdaten einlesen", true);
  p.Run([&] { procs_.DB_LOXStammdaten(); });
  status(" Basisdaten konfigurieren", true);
  p.Run([&] { procs_.XML_Init(); });
  status(" Stationsdaten einlesen", true);
  p.Run([&] {
    if (procs_.DB_Stationsdaten(0) >= 1) AblaufStatus = 31;
  });
  status(" Ausgabesätze Stationsdaten", true);
  p.Run([&] { procs_.XML_Stationsdaten(); });
  status(" Ausgabesätze Preisdaten", true);
  p.Run([&] { procs_.XML_Preisdaten(); });
  status(" Velunor erfolgreich gestartet", true);

  TaktZaehler = 0;
  timer_enabled_ = true;
  p.Run([&] { front_end_.StartTimer(); });

  if (env_.log.LetzterFehler() != 0) {
    // The message names no cause; the operator reading standard error gets the last one.
    front_end_.Notice("Letzter Eintrag im Fehlerprotokoll: " + env_.log.last_entry());
    front_end_.MessageBox("Fehler beim Programmstart - wird beendet", kProgramName);
    End(1);
    return;
  }
  watch_.Start();
  if (notifier_ != nullptr) notifier_->Ready();
}

void MarktTransp::Haupt_Timer_Timer() {
  if (unloaded_) return;
  if (notifier_ != nullptr) notifier_->Alive();
  Procedure p(env_.log, "Haupt_Timer_Timer");
  p.Run([&] { env_.window.SetPanel(2, ClockPanelText(env_.clock)); });
  if (TaktZaehler < 100) ++TaktZaehler;
  if (env_.log.LetzterFehler() == kErrConnectionLost && AblaufStatus < kLostConnection) {
    AblaufStatus = kLostConnection;
  }
  p.Run([&] {
    if (procs_.LpgExportAktiv() == 1) ++LpgTaktZaehler;
  });

  switch (AblaufStatus) {
    case kIdle:
      Idle();
      break;
    case 1:
      p.Run([&] { Status(" Preisdaten aus Datenbank lesen"); });
      p.Run([&] { procs_.DB_Get_MTS_StationsPreise(); });
      AblaufStatus = 2;
      break;
    case 2:
      p.Run([&] { Status(" Preisdatenexport vorbereiten"); });
      p.Run([&] { procs_.DB_Preisdaten(); });
      AblaufStatus = 3;
      break;
    case 3:
      p.Run([&] { Status(" Preisdaten zusammenstellen"); });
      p.Run([&] { procs_.XML_Preisdaten(); });
      AblaufStatus = 4;
      break;
    case 4:
      p.Run([&] { Status(" Preisdaten zu XML aufbereiten"); });
      p.Run([&] { procs_.XML_Out_Preise(); });
      AblaufStatus = 10;
      break;
    case 10:
      p.Run([&] { SendeDaten = procs_.SOAPEnvelope(); });
      SendeArt = "Pricedata";
      p.Run([&] { AktuelleUrl = procs_.UrlPreisdatenlieferung(); });
      AblaufStatus = 90;
      p.Run([&] { procs_.KommLog(kKommLogClear); });
      break;
    case 30:
      p.Run([&] { Status(" Stationsdatenexport vorbereiten"); });
      p.Run([&] { procs_.DB_Stationsdaten(1); });
      AblaufStatus = 31;
      break;
    case 31:
      p.Run([&] { Status(" Stationsdaten zusammenstellen"); });
      p.Run([&] { procs_.XML_Stationsdaten(); });
      AblaufStatus = 32;
      break;
    case 32:
      p.Run([&] { Status(" Stationsdaten zu XML aufbereiten"); });
      p.Run([&] { procs_.XML_Out_Station(); });
      AblaufStatus = 40;
      break;
    case 40:
      p.Run([&] { SendeDaten = procs_.SOAPEnvelope(); });
      SendeArt = "Stationdata";
      p.Run([&] { AktuelleUrl = procs_.UrlGrunddatenlieferung(); });
      AblaufStatus = 90;
      p.Run([&] { procs_.KommLog(kKommLogClear); });
      break;
    case 90:
      Transmit();
      break;
    case 816:
      p.Run([&] { Status(" DB-Verbindung neu herstellen..."); });
      AblaufStatus = kReconnect;
      break;
    case kReconnect: {
      env_.log.ResetLetzterFehler();
      int connected = 0;
      p.Run([&] { connected = procs_.DB_Verbinden(); });
      if (connected == 1) {
        p.Run([&] { Status(" DB-Verbindung erfolgreich hergestellt!"); });
        AblaufStatus = kIdle;
        last_connect_notice_.clear();
      } else {
        p.Run([&] { Status(" Immer noch keine DB-Verbindung möglich!"); });
        AblaufStatus = kLostConnection;
        // Why, once per new reason: the wait repeats every 17 ticks.
        std::string why;
        p.Run([&] { why = procs_.ConnectDiagnostic(); });
        if (!why.empty() && why != last_connect_notice_) {
          last_connect_notice_ = why;
          front_end_.Notice("Datenbank meldet: " + why);
        }
      }
      break;
    }
    case kShutdown:
      p.Run([&] { env_.window.SetVisible(false); });
      End(0);
      break;
    default:
      if (AblaufStatus >= 800 && AblaufStatus <= 815) {
        p.Run([&] {
          Status(" DB-Verbindung verloren, warten... (" + std::to_string(AblaufStatus) + ")");
        });
        ++AblaufStatus;
      }
      break;
  }
  std::optional<std::int64_t> stations_since;
  p.Run([&] { stations_since = procs_.UnacknowledgedStationsSince(); });
  watch_.Check(stations_since);
}

void MarktTransp::Idle() {
  Procedure p(env_.log, "Haupt_Timer_Timer");
  const std::string now = NowFromDate(env_.clock);
  p.Run([&] { env_.window.SetInfo(now + " Warten auf Auftrag"); });

  switch (ManuellAnforderung) {
    case 1:
      p.Run([&] { Status(" Manueller Stationsdatenexport aktiviert"); });
      AblaufStatus = 30;
      ManuellAnforderung = 2;
      return;
    case 2:
      p.Run([&] { Status(" Manueller Preisdatenexport aktiviert"); });
      p.Run([&] { procs_.AktuellePreiseZuordnen(); });
      AblaufStatus = 1;
      TaktZaehler = -1;
      ManuellAnforderung = 3;
      return;
    case 3:
      ManuellAnforderung = 0;
      p.Run([&] { env_.window.SetButtonEnabled(2, true); });
      break;
    default:
      break;
  }

  double station_sequence = 0;
  double price_sequence = 0;
  p.Run([&] { station_sequence = Sequence(procs_.StationPublicationNumber()); });
  p.Run([&] { price_sequence = Sequence(procs_.PricePublicationNumber()); });
  if (station_sequence == 0) {
    p.Run([&] { Status(" Grund-Stationsdatenexport aktiviert"); });
    AblaufStatus = 30;
    return;
  }
  if (price_sequence == 0) {
    p.Run([&] { Status(" Grund-Preisdatenexport aktiviert"); });
    p.Run([&] { procs_.AktuellePreiseZuordnen(); });
    AblaufStatus = 2;
    TaktZaehler = -1;
    return;
  }

  if (TaktZaehler == 80) {
    p.Run([&] {
      Status(" Prüfung auf geänderte Stationsdaten");
      front_end_.Repaint();
    });
    int changes = 0;
    p.Run([&] { changes = procs_.DB_Stationsdaten(0); });
    if (changes >= 1) {
      p.Run([&] { Status(" Verarbeitung geänderte Stationsdaten"); });
      AblaufStatus = 31;
      return;
    }
    if (now.substr(11, 4) == "23:0" && NachtlaufErledigt == 0) {
      NachtlaufErledigt = 1;
      p.Run([&] { procs_.RunNightlyRefresh(); });
      return;
    }
    if (now.substr(11, 2) == "04" && NachtlaufErledigt == 1) {
      NachtlaufErledigt = 0;
      return;
    }
  }

  if (TaktZaehler > 90) {
    AblaufStatus = 1;
    TaktZaehler = 0;
    p.Run([&] { Status(" Automatischer Preisdatenexport"); });
    return;
  }
  if (LpgTaktZaehler > 600) {
    LpgTaktZaehler = 0;
    p.Run([&] { procs_.Gas_Tankstelle_Export(); });
  }
}

void MarktTransp::Transmit() {
  Procedure p(env_.log, "Haupt_Timer_Timer");
  int result = 1;  // a transaction that could not even be called has failed
  p.Run([&] { result = procs_.SOAPTransaction(SendeDaten, AktuelleUrl); });
  const std::string now = NowFromDate(env_.clock);
  if (SendeArt == "Stationdata") {
    if (result == 0) {
      p.Run([&] { env_.window.SetLabel1(4, now); });
      p.Run([&] { procs_.StationPublicationAcknowledged(); });
      p.Run([&] { procs_.DB_TransferLog(0, "Stationsdaten erfolgreich übertragen"); });
      AblaufStatus = 1;
    } else {
      p.Run([&] { env_.window.SetLabel1(6, "!! " + now + " !!"); });
      p.Run([&] { procs_.DB_TransferLog(100, "Fehler bei der Stationsdaten-Übertragung"); });
      AblaufStatus = kIdle;
    }
  } else if (SendeArt == "Pricedata") {
    if (result == 0) {
      watch_.PriceAcknowledged();
      p.Run([&] { env_.window.SetLabel1(5, now); });
      p.Run([&] { procs_.DB_TransferLog(1, "Preisdaten erfolgreich übertragen"); });
    } else {
      p.Run([&] { env_.window.SetLabel1(7, "!! " + now + " !!"); });
      p.Run([&] { procs_.DB_TransferLog(200, "Fehler bei der Preisdaten-Übertragung"); });
    }
    AblaufStatus = kIdle;
  } else {
    AblaufStatus = kIdle;
  }
}

void MarktTransp::Command1_Click(int index) {
  Procedure p(env_.log, "Command1_Click");
  p.Run([&] {
    const ButtonState& button = env_.window.button(index);
    if (!button.visible || !button.enabled) return;
    switch (index) {
      case 0:
        env_.window.SetVisible(false);
        break;
      case 1:
        if (AblaufStatus != kIdle) return;
        AblaufStatus = kShutdown;
        env_.window.SetButtonCaption(1, "Wird beendet!");
        for (int i = 0; i < 3; ++i) env_.window.SetButtonEnabled(i, false);
        break;
      case 2:
        if (AblaufStatus != kIdle) return;
        env_.window.SetButtonEnabled(2, false);
        ManuellAnforderung = 1;
        break;
      default:
        break;
    }
  });
}

bool MarktTransp::RequestShutdown() {
  const bool connection_lost = AblaufStatus >= kLostConnection && AblaufStatus <= kReconnect;
  if (AblaufStatus != kIdle && !connection_lost) return false;
  AblaufStatus = kShutdown;
  env_.window.SetButtonCaption(1, "Wird beendet!");
  for (int i = 0; i < 3; ++i) env_.window.SetButtonEnabled(i, false);
  return true;
}

void MarktTransp::Picture1_MouseMove(int x) {
  Procedure p(env_.log, "Picture1_MouseMove");
  p.Run([&] {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(x));
    const std::string message = hex;
    if (message == "1E0F" || message == "1E2D") {
      env_.window.SetVisible(true);
      front_end_.ShowWindow();
    }
  });
}

void MarktTransp::Form_Unload() {
  Procedure p(env_.log, "Form_Unload");
  unloaded_ = true;
  timer_enabled_ = false;
  p.Run([&] { procs_.DB_Trennen(); });
  p.Run([&] { front_end_.RemoveTrayIcon(); });
  p.Run([&] { front_end_.ProcessEvents(); });
}

}  // namespace velunor
