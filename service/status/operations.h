// The service's account of itself for operators and monitors: counters and
// timings as Prometheus metrics, the last acknowledged publications, the
// last failure, the archive of transmissions, and after every tick a new
// StatusSnapshot in the box the status server reads. Lives on the window's
// thread; only the box is shared.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "service/common/env.h"
#include "service/db/station_table.h"
#include "service/status/operations_sink.h"
#include "service/status/status_snapshot.h"
#include "service/status/transmission_archive.h"
#include "service/transmission/soap_transaction.h"

namespace velunor {

class Operations : public OperationsSink {
 public:
  static constexpr std::uintmax_t kDefaultArchiveBytes = 2048ull * 1024 * 1024;

  // The archive is `env.program_dir`/archive with at most `archive_max_bytes`;
  // `sole_instance`: no other process runs on the program directory, so the
  // archive's temporary files are leftovers of a crash and go.
  // The stations reported are counted in `published`.
  Operations(Env& env, const StationPublicationIndex& published, std::uintmax_t archive_max_bytes,
             bool sole_instance = true);
  ~Operations() override;
  Operations(const Operations&) = delete;
  Operations& operator=(const Operations&) = delete;

  // A transmission of publication `number` ended; archives it (a failure to
  // archive is logged) and counts it.
  void TransmissionDone(const Transmission& transmission, PublicationKind kind,
                        const std::string& number, const TransmissionOutcome& outcome);
  // The database connection was made again after it had been lost.
  void Reconnected();

  void ChainStepTook(int state, double seconds) override;
  void TickDone(bool database_lost, bool stopping) override;
  void ClientCertificate(std::optional<std::int64_t> not_after,
                         const std::string& warning) override;
  void Active(bool active) override { active_ = active; }
  void LeaseProblem(const std::string& why) override { lease_problem_ = why; }
  void StandbyAlarm(const std::string& why) override { standby_alarm_ = why; }

  // From now on a reader wants the pictures: each TickDone publishes one.
  // Without a reader (no status server) no picture is made at all.
  void PublishSnapshots() { publishing_ = true; }
  // `task` runs at the end of every tick, on the window's thread (the
  // status port's next attempt to bind).
  void AfterEachTick(std::function<void()> task) { after_tick_ = std::move(task); }
  const SnapshotBox& box() const { return box_; }
  const std::filesystem::path& archive_dir() const { return archive_dir_; }

 private:
  struct Metrics;
  std::shared_ptr<StatusSnapshot> Picture(bool database_lost, bool stopping);

  Env& env_;
  const StationPublicationIndex& published_;
  std::filesystem::path archive_dir_;
  TransmissionArchive archive_;
  std::unique_ptr<Metrics> metrics_;
  LastFailure last_failure_;
  std::optional<std::int64_t> certificate_end_;
  std::string certificate_warning_;
  bool certificate_looked_at_ = false;
  bool certificate_ever_found_ = false;
  long error_entries_counted_ = 0;
  std::map<std::string, long> price_warnings_counted_;  // by fuel key
  SnapshotBox box_;
  bool publishing_ = false;
  std::optional<bool> active_;  // unknown until the start has decided
  std::string lease_problem_;
  std::string standby_alarm_;
  std::function<void()> after_tick_;
};

}  // namespace velunor
