// What the status page, /status.json, /health and /metrics show: one
// immutable picture of the service, made by the window's thread after each
// tick and read by the status server's threads, which never see anything
// else of the service. SnapshotBox hands the latest picture over.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "service/common/service_state.h"
#include "service/status/transmission_archive.h"

namespace velunor {

struct LastFailure {
  std::string time;  // "" when none yet
  std::string kind;  // "error-log", "station-transmission" or "price-transmission"
  std::string text;
};

// From this many days before the client certificate's end, /health says "alarm".
inline constexpr int kCertificateAlarmDays = 7;

struct ClientCertificateState {
  std::int64_t not_after = 0;  // Unix time; 0: no certificate found
  std::int64_t days_left = 0;
  std::string warning;  // "" while the end is more than 30 days away
};

struct StatusSnapshot {
  // What the operator window shows, as facts: the presenter (window_texts.h)
  // makes the page's and the JSON's texts of them as it makes the window's.
  ServiceFacts shown;
  std::vector<ServiceState::GridRow> grid;  // row 0 holds the captions
  // The first grid rows of the stations that want a look (not reporting, or
  // with a price warning), ascending: a large network's page lists them first.
  std::vector<int> attention_rows;
  std::string now;  // dd.mm.yyyy hh:mm:ss when the picture was made

  // starting, ok, degraded (something failed: see `problems`), alarm,
  // standby (another instance reports) or stopping; StateText gives the
  // operator's word for it.
  std::string state = "starting";
  std::vector<std::string> problems;  // in plain words, "" none
  LastFailure last_failure;
  ClientCertificateState certificate;
  std::vector<ArchivedTransmission> archive;  // newest first
  std::string metrics;                        // Prometheus text format
};

// The German words the page shows for the machine values of the picture.
std::string StateText(const std::string& state);
std::string KindText(const std::string& kind);        // "station", "price"
std::string OutcomeText(const std::string& outcome);  // "acknowledged", ...

// The picture as the JSON of /status.json.
std::string StatusJson(const StatusSnapshot& s);
// The JSON of /health; its HTTP status is 200 for "ok", "degraded" (one
// failed cycle pages nobody) and "standby" (a healthy standby is no alarm),
// 503 otherwise.
std::string HealthJson(const StatusSnapshot& s);
int HealthStatus(const StatusSnapshot& s);

// The latest picture; thread-safe.
class SnapshotBox {
 public:
  SnapshotBox() : current_(std::make_shared<StatusSnapshot>()) {}
  void Publish(std::shared_ptr<const StatusSnapshot> snapshot);
  std::shared_ptr<const StatusSnapshot> Current() const;

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const StatusSnapshot> current_;
};

}  // namespace velunor
