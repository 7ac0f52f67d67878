// The rotating error log of the program directory ("MTS-Error-<n>.LOG",
// n = 0..20, selected by "MTSLOGNummer.DAT") and the process-wide number of
// the last error. Single-threaded; files are opened and closed per entry.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "service/common/clock.h"
#include "shared/file_system.h"
#include "shared/status.h"

namespace velunor {

class LoggedFailures;

class FehlerLog {
 public:
  static constexpr std::uintmax_t kFullSize = 2048001;  // a file this big starts the next one
  static constexpr int kMaxFileNumber = 20;
  static constexpr int kRetries = 20;  // per step, each after a pause
  static constexpr int kRetryPauseMs = 50;

  // `files` must outlive the log.
  FehlerLog(std::filesystem::path program_dir, Clock& clock, FileSystem& files = RealFileSystem());

  // Appends one entry "mm-dd-yyyy hh:mm:ss --> proc / number / description / context".
  // A step that fails (directory not writable, file locked) is retried after
  // 50 ms, at most kRetries times; then the entry is dropped. LetzterFehler is
  // set in every case, so a lost connection is noticed even with a full disk.
  // Never throws.
  void Write(int32_t number, const std::string& description, const std::string& procedure,
             const std::string& context);

  // An entry that reports a state rather than a failure (number 0, empty
  // context): it leaves LetzterFehler alone, so it neither ends a start nor
  // hides a lost connection. Never throws.
  void WriteNotice(const std::string& description, const std::string& procedure);

  // Number of the last entry; once it is the lost-connection number it stays
  // until ResetLetzterFehler.
  int32_t LetzterFehler() const { return letzter_fehler_; }
  void ResetLetzterFehler() { letzter_fehler_ = 0; }

  // The text of the last entry ("procedure / number / description / context"),
  // "" before the first.
  const std::string& last_entry() const { return last_entry_; }

  // Number of entries dropped because their file could not be written.
  int dropped() const { return dropped_; }

  // Failure entries (not notices) written since the process started, and
  // the time of the last one ("" before the first), for the status page.
  long entries() const { return entries_; }
  const std::string& last_entry_time() const { return last_entry_time_; }

  std::filesystem::path LogFile(int number) const;
  std::filesystem::path NumberFile() const;

 private:
  int ReadLogNumber() const;
  // Writes the line; returns the entry text.
  std::string Append(int32_t number, const std::string& description, const std::string& procedure,
                     const std::string& context);
  template <class F>
  bool Retry(F&& step);

  friend class LoggedFailures;

  std::filesystem::path dir_;
  Clock& clock_;
  FileSystem& files_;
  long entries_ = 0;
  std::string last_entry_time_;
  int32_t letzter_fehler_ = 0;
  std::string last_entry_;
  int dropped_ = 0;
  LoggedFailures* innermost_ = nullptr;
};

// The failures written to a log while this lives, as the caller of a
// procedure that logs its failures and goes on receives them: ok when none
// was written, else the first, or a lost connection when one came later (it
// is the one a caller must act on). Notices are no failures. Scopes nest,
// and each sees every entry written while it lives.
class LoggedFailures {
 public:
  explicit LoggedFailures(FehlerLog& log) : log_(log), outer_(log.innermost_) {
    log.innermost_ = this;
  }
  ~LoggedFailures() { log_.innermost_ = outer_; }
  LoggedFailures(const LoggedFailures&) = delete;
  LoggedFailures& operator=(const LoggedFailures&) = delete;

  const Status& status() const { return status_; }

 private:
  friend class FehlerLog;
  void Saw(int32_t number, const std::string& description);

  FehlerLog& log_;
  LoggedFailures* outer_;
  Status status_;
};

// Runs `procedure`, which logs its own failures, and returns them.
template <class F>
Status LoggedFailuresOf(FehlerLog& log, F&& procedure) {
  LoggedFailures failures(log);
  procedure();
  return failures.status();
}

}  // namespace velunor
