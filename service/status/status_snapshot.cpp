#include "service/status/status_snapshot.h"

#include <nlohmann/json.hpp>

#include "service/common/window_texts.h"

namespace velunor {

namespace {

using nlohmann::json;

// Texts from outside may hold bytes that are not UTF-8; they are replaced
// rather than ending the answer.
std::string Dump(const json& j) { return j.dump(2, ' ', false, json::error_handler_t::replace); }

// The last publication of the kind that the MTS-K acknowledged.
json Publication(const ServiceFacts& shown, PublicationKind kind) {
  const PublicationRecord& p = shown.publication(kind);
  if (!p.acknowledged_at) return nullptr;
  return {{"time", ShownTime(p.acknowledged_at)},
          {"epoch_seconds", p.acknowledged_epoch_seconds},
          {"number", p.acknowledged_number}};
}

json Certificate(const ClientCertificateState& c) {
  if (c.not_after == 0) return nullptr;
  return {
      {"expiry_epoch_seconds", c.not_after}, {"days_left", c.days_left}, {"warning", c.warning}};
}

json Failure(const LastFailure& f) {
  if (f.time.empty()) return nullptr;
  return {{"time", f.time}, {"kind", f.kind}, {"text", f.text}};
}

}  // namespace

std::string StateText(const std::string& state) {
  if (state == "ok") return "in Ordnung";
  if (state == "degraded") return "beeinträchtigt";
  if (state == "alarm") return "ALARM";
  if (state == "stopping") return "wird beendet";
  if (state == "standby") return "Bereitschaft";
  return "startet";
}

std::string KindText(const std::string& kind) {
  return kind == "station" ? "Stationsdaten" : kind == "price" ? "Preisdaten" : kind;
}

std::string OutcomeText(const std::string& outcome) {
  if (outcome == "acknowledged") return "bestätigt";
  if (outcome == "refused") return "abgelehnt";
  return "fehlgeschlagen";
}

std::string StatusJson(const StatusSnapshot& s) {
  json grid = json::array();
  for (const ServiceState::GridRow& row : s.grid) grid.push_back(row);
  json archive = json::array();
  for (const ArchivedTransmission& t : s.archive) {
    archive.push_back({{"name", t.name},
                       {"time", t.time},
                       {"kind", t.kind},
                       {"kind_text", KindText(t.kind)},
                       {"number", t.number},
                       {"outcome", t.outcome},
                       {"outcome_text", OutcomeText(t.outcome)},
                       {"bytes", t.bytes}});
  }
  const ServiceFacts& shown = s.shown;
  json labels = json::array();
  for (const VersionLabel& label : VersionLabels(shown)) labels.push_back(label.text);
  json price_warnings = json::array();
  for (const PriceWarning& w : shown.price_warnings) {
    price_warnings.push_back({{"station", w.station},
                              {"fuel", w.fuel_key},
                              {"price", w.price},
                              {"last_price", w.last_price},
                              {"text", PriceWarningText(w)}});
  }
  json j = {{"now", s.now},
            {"state", s.state},
            {"state_text", StateText(s.state)},
            {"problems", s.problems},
            {"price_warnings", price_warnings},
            {"labels", labels},
            {"communication", shown.communication},
            {"grid", grid},
            {"last_station_publication", Publication(shown, PublicationKind::kStation)},
            {"last_price_publication", Publication(shown, PublicationKind::kPrice)},
            {"last_failure", Failure(s.last_failure)},
            {"client_certificate", Certificate(s.certificate)},
            {"archive", archive}};
  for (const ShownText& text : ShownTexts()) j[text.json_key] = Shown(shown, text.name);
  return Dump(j);
}

std::string HealthJson(const StatusSnapshot& s) {
  const json j = {{"state", s.state},
                  {"problems", s.problems},
                  {"now", s.now},
                  {"alarm", Shown(s.shown, "alarm")},
                  {"warning", Shown(s.shown, "warning")},
                  {"last_station_publication", Publication(s.shown, PublicationKind::kStation)},
                  {"last_price_publication", Publication(s.shown, PublicationKind::kPrice)},
                  {"last_failure", Failure(s.last_failure)},
                  {"client_certificate", Certificate(s.certificate)}};
  return Dump(j);
}

int HealthStatus(const StatusSnapshot& s) {
  return s.state == "ok" || s.state == "degraded" || s.state == "standby" ? 200 : 503;
}

void SnapshotBox::Publish(std::shared_ptr<const StatusSnapshot> snapshot) {
  std::lock_guard<std::mutex> lock(mutex_);
  current_ = std::move(snapshot);
}

std::shared_ptr<const StatusSnapshot> SnapshotBox::Current() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return current_;
}

}  // namespace velunor
