#include "service/status/operations.h"

#include <prometheus/counter.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>
#include <prometheus/text_serializer.h>

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "service/common/window_texts.h"
#include "service/common/zusatzfunktionen.h"
#include "service/db/fuels.h"

namespace velunor {

namespace {

constexpr const char* kKinds[] = {"station", "price"};
constexpr TransmissionOutcome::Result kResults[] = {TransmissionOutcome::Result::kAcknowledged,
                                                    TransmissionOutcome::Result::kRefused,
                                                    TransmissionOutcome::Result::kFailed};
constexpr size_t kArchiveListed = 50;

std::string KindName(PublicationKind kind) {
  return kind == PublicationKind::kStation ? "station" : "price";
}

}  // namespace

struct Operations::Metrics {
  std::shared_ptr<prometheus::Registry> registry = std::make_shared<prometheus::Registry>();
  prometheus::Family<prometheus::Counter>& transmissions =
      prometheus::BuildCounter()
          .Name("velunor_transmissions_total")
          .Help("Transmissions to the MTS-K by kind and outcome")
          .Register(*registry);
  prometheus::Family<prometheus::Gauge>& last_acknowledged =
      prometheus::BuildGauge()
          .Name("velunor_last_acknowledged_timestamp_seconds")
          .Help("When the MTS-K last acknowledged a publication of the kind (Unix time)")
          .Register(*registry);
  prometheus::Gauge& alarm = prometheus::BuildGauge()
                                 .Name("velunor_compliance_alarm")
                                 .Help("1 while the five-minute reporting deadline is missed")
                                 .Register(*registry)
                                 .Add({});
  prometheus::Family<prometheus::Histogram>& chain_steps =
      prometheus::BuildHistogram()
          .Name("velunor_price_chain_step_duration_seconds")
          .Help("Duration of each step of the price chain by scheduler state")
          .Register(*registry);
  prometheus::Counter& reconnects = prometheus::BuildCounter()
                                        .Name("velunor_database_reconnects_total")
                                        .Help("Database connections made again after a loss")
                                        .Register(*registry)
                                        .Add({});
  prometheus::Counter& error_entries = prometheus::BuildCounter()
                                           .Name("velunor_error_log_entries_total")
                                           .Help("Failure entries written to the error log")
                                           .Register(*registry)
                                           .Add({});
  prometheus::Gauge& certificate_end =
      prometheus::BuildGauge()
          .Name("velunor_client_certificate_expiry_timestamp_seconds")
          .Help("When the client certificate in use expires (Unix time)")
          .Register(*registry)
          .Add({});
  prometheus::Gauge& stations = prometheus::BuildGauge()
                                    .Name("velunor_stations_reported")
                                    .Help("Stations in the publications")
                                    .Register(*registry)
                                    .Add({});
  prometheus::Gauge& active = prometheus::BuildGauge()
                                  .Name("velunor_active")
                                  .Help("1 while this instance holds the reporter lease")
                                  .Register(*registry)
                                  .Add({});
  prometheus::Family<prometheus::Counter>& price_warnings =
      prometheus::BuildCounter()
          .Name("velunor_price_plausibility_warnings_total")
          .Help("New prices outside the plausibility rule, reported with a warning, by fuel")
          .Register(*registry);
  std::map<int, prometheus::Histogram*> step_histograms;

  Metrics() {
    for (const char* kind : kKinds) {
      for (TransmissionOutcome::Result result : kResults) {
        transmissions.Add({{"kind", kind}, {"outcome", ResultName(result)}});
      }
      last_acknowledged.Add({{"kind", kind}});
    }
    for (const Fuel& fuel : kFuels) price_warnings.Add({{"fuel", fuel.key}});
  }
};

Operations::Operations(Env& env, const StationPublicationIndex& published,
                       std::uintmax_t archive_max_bytes, bool sole_instance)
    : env_(env),
      published_(published),
      archive_dir_(env.program_dir / "archive"),
      archive_(env.files, archive_dir_, archive_max_bytes, TransmissionArchive::kRemembered,
               sole_instance),
      metrics_(std::make_unique<Metrics>()) {}

Operations::~Operations() = default;

void Operations::TransmissionDone(const Transmission& t, PublicationKind publication,
                                  const std::string& number, const TransmissionOutcome& outcome) {
  const std::string kind = KindName(publication);
  const std::string result = ResultName(outcome.result);
  TransmissionRecord record;
  record.when = env_.clock.Now();
  record.kind = kind;
  record.number = number;
  record.url = t.AktuelleUrl;
  record.outcome = result;
  record.request = t.SendeDaten;
  record.answered = !outcome.status_line.empty();
  record.answer = record.answered ? outcome.answer : outcome.error;
  if (const Status archived = archive_.Add(record); !archived.ok()) {
    env_.log.Write(archived.code(), archived.message(), "Archiv", "");
  }

  metrics_->transmissions.Add({{"kind", kind}, {"outcome", result}}).Increment();
  // The outcome itself is the service state's record, which the scheduler keeps.
  if (outcome.result != TransmissionOutcome::Result::kAcknowledged) {
    last_failure_ = {NowFromDate(env_.clock), kind + "-transmission", outcome.error};
  }
}

void Operations::Reconnected() { metrics_->reconnects.Increment(); }

void Operations::ChainStepTook(int state, double seconds) {
  prometheus::Histogram*& h = metrics_->step_histograms[state];
  if (h == nullptr) {
    h = &metrics_->chain_steps.Add(
        {{"state", std::to_string(state)}},
        prometheus::Histogram::BucketBoundaries{0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5});
  }
  h->Observe(seconds);
}

void Operations::ClientCertificate(std::optional<std::int64_t> not_after,
                                   const std::string& warning) {
  certificate_end_ = not_after;
  certificate_warning_ = warning;
  certificate_looked_at_ = true;
  certificate_ever_found_ |= not_after.has_value();
  metrics_->certificate_end.Set(not_after ? static_cast<double>(*not_after) : 0);
}

void Operations::TickDone(bool database_lost, bool stopping) {
  if (after_tick_) after_tick_();
  if (!publishing_) return;
  box_.Publish(Picture(database_lost, stopping));
}

namespace {

// The first grid rows of the stations that do not report (no MTS-K fuels,
// deactivated) or have an open price warning.
std::vector<int> AttentionRows(const ServiceState& shown) {
  std::set<long> warned;
  for (const PriceWarning& w : shown.price_warnings()) warned.insert(w.station);
  std::vector<int> rows;
  for (const auto& [station, row] : shown.placed_stations()) {
    if (shown.reporting(station) != Reporting::kYes || warned.count(station) != 0) {
      rows.push_back(row);
    }
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

}  // namespace

std::shared_ptr<StatusSnapshot> Operations::Picture(bool database_lost, bool stopping) {
  auto s = std::make_shared<StatusSnapshot>();
  const ServiceState& shown = env_.service;
  s->shown = shown.facts();
  s->grid = shown.grid();
  s->now = NowFromDate(env_.clock);
  s->attention_rows = AttentionRows(shown);
  constexpr std::int64_t kDay = 24 * 60 * 60;
  const std::int64_t now = env_.clock.EpochSeconds();
  if (certificate_end_) {
    s->certificate.not_after = *certificate_end_;
    s->certificate.days_left = (*certificate_end_ - now) / kDay;
    s->certificate.warning = certificate_warning_;
  }
  const bool certificate_missing = certificate_looked_at_ && !certificate_end_;
  // Never found since the start: nothing can be reported at all.
  const bool certificate_alarm =
      (certificate_end_ && *certificate_end_ - now <= kCertificateAlarmDays * kDay) ||
      (certificate_missing && !certificate_ever_found_);
  if (database_lost) s->problems.push_back("Keine Verbindung zur Datenbank; es wird neu verbunden");
  for (PublicationKind kind : {PublicationKind::kStation, PublicationKind::kPrice}) {
    const PublicationRecord& r = shown.publication(kind);
    if (!r.failing || !r.failed_at) continue;
    s->problems.push_back(
        std::string(kind == PublicationKind::kStation ? "Letzte Stationsdaten-Übertragung "
                                                      : "Letzte Preisdaten-Übertragung ") +
        OutcomeText(r.failing->refused ? "refused" : "failed") + " am " +
        DateTimeText(*r.failed_at) + (r.failing->error.empty() ? "" : ": " + r.failing->error));
  }
  for (const PriceWarning& w : shown.price_warnings()) s->problems.push_back(PriceWarningText(w));
  if (certificate_missing) {
    s->problems.push_back(
        "Kein verwendbares Client-Zertifikat (mit privatem Schlüssel) im Speicher \"MY\"");
  }
  if (!lease_problem_.empty()) s->problems.push_back(lease_problem_);
  // A standby that could not take over (no certificate) is an alarm all
  // the same, and so is one that sees nobody report; one that waits
  // healthy is not.
  const bool standby = active_.has_value() && !*active_;
  const bool standby_alarm = standby && !standby_alarm_.empty();
  if (standby_alarm) s->problems.push_back(standby_alarm_);
  s->state = stopping                                                     ? "stopping"
             : shown.alarm_raised() || certificate_alarm || standby_alarm ? "alarm"
             : standby                                                    ? "standby"
             : !s->problems.empty()                                       ? "degraded"
                                                                          : "ok";
  for (PublicationKind kind : {PublicationKind::kStation, PublicationKind::kPrice}) {
    metrics_->last_acknowledged.Add({{"kind", KindName(kind)}})
        .Set(static_cast<double>(shown.publication(kind).acknowledged_epoch_seconds));
  }
  // The later of the last error-log entry and the last failed transmission.
  const FehlerLog& log = env_.log;
  if (log.entries() > error_entries_counted_) {
    last_failure_ = {log.last_entry_time(), "error-log", log.last_entry()};
  }
  s->last_failure = last_failure_;
  s->archive = archive_.Newest(kArchiveListed);

  metrics_->error_entries.Increment(static_cast<double>(log.entries() - error_entries_counted_));
  error_entries_counted_ = log.entries();
  for (const auto& [fuel, raised] : shown.price_warnings_raised()) {
    long& counted = price_warnings_counted_[fuel];
    metrics_->price_warnings.Add({{"fuel", fuel}}).Increment(static_cast<double>(raised - counted));
    counted = raised;
  }
  metrics_->alarm.Set(shown.alarm_raised() ? 1 : 0);
  metrics_->active.Set(active_.value_or(false) ? 1 : 0);
  int stations = 0;
  for (const auto& [station, active] : published_.StationActive) stations += active != 0 ? 1 : 0;
  metrics_->stations.Set(stations);
  s->metrics = prometheus::TextSerializer().Serialize(metrics_->registry->Collect());
  return s;
}

}  // namespace velunor
