#include "service/common/fehler_log.h"

#include <sstream>

#include "service/common/failure.h"
#include "service/common/text.h"
#include "service/common/zusatzfunktionen.h"
#include "shared/file_replace.h"
#include "shared/output_line.h"

namespace velunor {

FehlerLog::FehlerLog(std::filesystem::path program_dir, Clock& clock, FileSystem& files)
    : dir_(std::move(program_dir)), clock_(clock), files_(files) {}

std::filesystem::path FehlerLog::LogFile(int number) const {
  return dir_ / ("MTS-Error-" + std::to_string(number) + ".LOG");
}

std::filesystem::path FehlerLog::NumberFile() const { return dir_ / "MTSLOGNummer.DAT"; }

int FehlerLog::ReadLogNumber() const {
  std::string text;
  if (!files_.ReadFile(NumberFile(), &text).ok()) return 0;
  std::istringstream in(text);
  long n = 0;
  if (!(in >> n) || n < 0 || n > kMaxFileNumber) return 0;
  return static_cast<int>(n);
}

// Runs one step of the entry; a failing step is tried again after a pause so
// that a log file held open by a reader for a moment does not lose the entry.
template <class F>
bool FehlerLog::Retry(F&& step) {
  for (int attempt = 0; attempt <= kRetries; ++attempt) {
    if (step()) return true;
    clock_.SleepMs(kRetryPauseMs);
  }
  return false;
}

void FehlerLog::Write(int32_t number, const std::string& description, const std::string& procedure,
                      const std::string& context) {
  if (letzter_fehler_ != kErrConnectionLost) letzter_fehler_ = number;
  for (LoggedFailures* scope = innermost_; scope != nullptr; scope = scope->outer_) {
    scope->Saw(number, description);
  }
  last_entry_ = Append(number, description, procedure, context);
  ++entries_;
  last_entry_time_ = NowFromDate(clock_);
}

void LoggedFailures::Saw(int32_t number, const std::string& description) {
  if (status_.ok() || (number == kErrConnectionLost && status_.code() != kErrConnectionLost)) {
    status_ = Status::Error(number, description);
  }
}

void FehlerLog::WriteNotice(const std::string& description, const std::string& procedure) {
  Append(0, description, procedure, "");
}

std::string FehlerLog::Append(int32_t number, const std::string& description,
                              const std::string& procedure, const std::string& context) {
  // One entry is one line, whatever the texts from outside hold.
  const std::string entry = EscapeLine(procedure) + " / " + std::to_string(number) + " / " +
                            EscapeLine(description) + " / " + EscapeLine(context);
  const int log_number = ReadLogNumber();
  int current = log_number;

  const FileInfo log_file = files_.Stat(LogFile(current), true);
  if (log_file.regular && log_file.size >= kFullSize) {
    current = current + 1 > kMaxFileNumber ? 0 : current + 1;
    const bool rotated = Retry([&] {
      if (!files_.Remove(LogFile(current)).ok()) return false;
      // One blank on either side of the number, as the file has always been.
      std::string text(1, ' ');
      text.append(std::to_string(current)).append(" \r\n");
      return ReplaceFile(files_, NumberFile(), text).ok();
    });
    if (!rotated) {
      ++dropped_;
      return entry;
    }
  }

  const DateTime t = clock_.Now();
  const std::string line = Pad(t.month, 2) + "-" + Pad(t.day, 2) + "-" + Pad(t.year, 4) + " " +
                           Pad(t.hour, 2) + ":" + Pad(t.minute, 2) + ":" + Pad(t.second, 2) +
                           " --> " + entry + "\r\n";
  const bool written = Retry([&] {
    std::unique_ptr<WritableFile> out;
    return files_.OpenForWriting(LogFile(current), FileSystem::Open::kAppend, &out).ok() &&
           out->Append(line).ok();
  });
  if (!written) ++dropped_;
  return entry;
}

}  // namespace velunor
