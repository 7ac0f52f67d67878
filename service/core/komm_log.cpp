#include "service/core/komm_log.h"

#include <system_error>

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
  file_.close();
  std::error_code ec;
  if (keep_previous && std::filesystem::is_regular_file(path, ec)) {
    std::filesystem::rename(path, KeptFile(path), ec);
    if (ec) {
      throw Failure(kErrPathFileAccess, "Datei " + path.string() + " kann nicht in " +
                                            KeptFile(path).string() +
                                            " umbenannt werden: " + ec.message());
    }
  }
  file_.clear();
  file_.open(path, std::ios::binary | std::ios::trunc);
  if (!file_) {
    throw Failure(kErrPathFileAccess, "Datei " + path.string() + " kann nicht geöffnet werden");
  }
}

void KommLogWriter::KommLog(const std::string& meldung) {
  Procedure p(env_.log, "KommLog");
  if (meldung == kKommLogClear) {
    p.Run([&] { env_.service.ClearCommunication(); });
  } else {
    // One message is one line, whatever a server's answer holds.
    const std::string text = EscapeLine(meldung);
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
      if (!file_.is_open()) return;  // already reported when opening failed
      // A failed write (a full disk) leaves the stream failed for good; each
      // line tries afresh, so the file is written again once there is space.
      file_.clear();
      // Flushed per line: the file must be complete even if the process is killed.
      file_ << NowFromDate(env_.clock) << " " << text << "\r\n" << std::flush;
      if (!file_) {
        throw Failure(kErrPathFileAccess,
                      std::string(kKommLogFileName) + " kann nicht geschrieben werden");
      }
      const std::streamoff size = file_.tellp();
      if (size > static_cast<std::streamoff>(max_bytes_)) StartFile(true);
    });
  }
  p.Run([&] { env_.host.Repaint(); });
}

}  // namespace velunor
