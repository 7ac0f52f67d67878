#include "service/core/komm_log.h"

#include "service/common/procedure.h"
#include "service/common/text.h"
#include "service/common/zusatzfunktionen.h"
#include "shared/output_line.h"

namespace velunor {

namespace {

// The previous run's file, and the first part of a run that passed the limit.
std::filesystem::path KeptFile(const std::filesystem::path& file) {
  std::filesystem::path kept = file;
  kept.replace_extension(".1.txt");
  return kept;
}

}  // namespace

void KommLogWriter::StartFile(bool keep_previous) {
  const std::filesystem::path path = env_.program_dir / kKommLogFileName;
  file_.reset();
  if (keep_previous && env_.files.Stat(path, true).regular) {
    if (const Status renamed = env_.files.Rename(path, KeptFile(path)); !renamed.ok()) {
      throw Failure(kErrPathFileAccess, "Datei " + path.string() + " kann nicht in " +
                                            KeptFile(path).string() +
                                            " umbenannt werden: " + renamed.message());
    }
  }
  if (!env_.files.OpenForWriting(path, FileSystem::Open::kTruncate, &file_).ok()) {
    throw Failure(kErrPathFileAccess, "Datei " + path.string() + " kann nicht geöffnet werden");
  }
}

void KommLogWriter::KommLog(const std::string& line) {
  Procedure p(env_.log, "KommLog");
  if (line == kKommLogClear) {
    p.Run([&] { env_.service.ClearCommunication(); });
  } else {
    // One message is one line, whatever a server's answer holds.
    const std::string text = EscapeLine(line);
    p.Run([&] {
      const DateTime t = env_.clock.Now();
      env_.service.AddCommunication(Pad(t.hour, 2) + ":" + Pad(t.minute, 2) + ":" +
                                    Pad(t.second, 2) + " " + text);
    });
    p.Run([&] {
      if (opened_) return;
      opened_ = true;
      // The previous run's dialogue is kept once, so a restart loop does not
      // destroy the dialogue of the run that failed.
      StartFile(true);
    });
    p.Run([&] {
      if (!file_) return;  // already reported when opening failed
      // Written per line, unbuffered: the file must be complete even if the
      // process is killed. A line that fails (a full disk) does not stop the
      // next one, so the file is written again once there is space.
      if (!file_->Append(NowFromDate(env_.clock) + " " + text + "\r\n").ok()) {
        throw Failure(kErrPathFileAccess,
                      std::string(kKommLogFileName) + " kann nicht geschrieben werden");
      }
      if (file_->position() > max_bytes_) StartFile(true);
    });
  }
  p.Run([&] { env_.host.Repaint(); });
}

}  // namespace velunor
