#include "service/core/compliance_watch.h"

#include "service/common/zusatzfunktionen.h"

namespace velunor {

namespace {
// Entries of the watch carry the name of the procedure in which it runs.
constexpr const char* kProcedure = "Haupt_Timer_Timer";
}  // namespace

ComplianceWatch::ComplianceWatch(Env& env, FrontEnd& front_end)
    : env_(env), front_end_(front_end) {}

void ComplianceWatch::Start(std::int64_t age_seconds, const std::optional<DateTime>& since) {
  started_ = true;
  price_.since = env_.clock.EpochSeconds() - age_seconds;
  price_.since_text = DateTimeText(since.value_or(env_.clock.Now()));
}

void ComplianceWatch::Stop() {
  started_ = false;
  price_ = Watch();
  stations_ = Watch();
  ShowAlarms();
}

void ComplianceWatch::PriceAcknowledged() {
  price_.since = env_.clock.EpochSeconds();
  price_.since_text = NowFromDate(env_.clock);
}

void ComplianceWatch::Check(std::optional<std::int64_t> stations_since) {
  if (!started_) return;
  const std::int64_t now = env_.clock.EpochSeconds();

  if (stations_since != stations_.since) {
    stations_.since = stations_since;
    stations_.since_text = stations_since ? NowFromDate(env_.clock) : "";
  }
  bool changed = Update(price_, *price_.since + kLimitSeconds < now,
                        "ALARM: Seit " + price_.since_text +
                            " keine Preisdaten von der MTS-K bestätigt (Meldefrist 5 Minuten)",
                        "Alarm beendet: Preisdaten von der MTS-K bestätigt");
  changed |= Update(stations_, stations_.since && *stations_.since + kLimitSeconds < now,
                    "ALARM: Geänderte Stationsdaten seit " + stations_.since_text +
                        " nicht von der MTS-K bestätigt (Meldefrist 5 Minuten)",
                    "Alarm beendet: Stationsdaten von der MTS-K bestätigt");
  if (changed) ShowAlarms();
}

bool ComplianceWatch::Update(Watch& watch, bool overdue, const std::string& raise_text,
                             const std::string& clear_text) {
  if (overdue == watch.raised) return false;
  watch.raised = overdue;
  watch.alarm_text = overdue ? raise_text : "";
  const std::string& text = overdue ? raise_text : clear_text;
  env_.log.WriteNotice(text, kProcedure);
  front_end_.Notice(text);
  return true;
}

void ComplianceWatch::ShowAlarms() {
  std::string line = price_.alarm_text;
  if (!line.empty() && !stations_.alarm_text.empty()) line += " / ";
  env_.service.SetAlarm(line + stations_.alarm_text);
}

}  // namespace velunor
