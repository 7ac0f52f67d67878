#include "service/core/komm_log.h"

#include "service/common/procedure.h"
#include "service/common/zusatzfunktionen.h"

namespace velunor {

void KommLogWriter::KommLog(const std::string& meldung) {
  Procedure p(env_.log, "KommLog");
  if (meldung == kKommLogClear) {
    p.Run([&] { env_.window.ClearList1(); });
  } else {
    p.Run([&] {
      const DateTime t = env_.clock.Now();
      env_.window.AddList1(Pad(t.hour, 2) + ":" + Pad(t.minute, 2) + ":" + Pad(t.second, 2) + " " +
                           meldung);
    });
    p.Run([&] {
      if (!opened_) {
        opened_ = true;
        const auto path = env_.program_dir / kKommLogFileName;
        file_.open(path, std::ios::binary | std::ios::trunc);
        if (!file_)
          throw Failure(kErrPathFileAccess,
                        "Datei " + path.string() + " kann nicht geöffnet werden");
      }
    });
    p.Run([&] {
      if (!file_.is_open()) return;  // already reported when opening failed
      // A failed write (a full disk) leaves the stream failed for good; each
      // line tries afresh, so the file is written again once there is space.
      file_.clear();
      // Flushed per line: the file must be complete even if the process is killed.
      file_ << NowFromDate(env_.clock) << " " << meldung << "\r\n" << std::flush;
      if (!file_)
        throw Failure(kErrPathFileAccess,
                      std::string(kKommLogFileName) + " kann nicht geschrieben werden");
    });
  }
  p.Run([&] { env_.host.Repaint(); });
}

}  // namespace velunor
