// The client certificate's end. Certificates are issued on request and take
// days to renew; an expired one stops every report. From 30 days before the
// chosen certificate expires, the service says so at the start and once a
// day: one notice in the error log, one line on standard error and the
// service state's warning; from 7 days before, the status page counts it as
// an alarm. Single-threaded: the window's thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "service/common/env.h"
#include "service/core/front_end.h"
#include "service/core/procedures.h"

namespace velunor {

class CertificateWatch {
 public:
  static constexpr int kWarningDays = 30;
  static constexpr int kAlarmDays = 7;

  CertificateWatch(Env& env, FrontEnd& front_end);

  // True at the first call and when the day has changed since the last Check.
  bool Due() const;
  // Looks at `end` (nullopt: no certificate found, which the transmission
  // reports itself) and warns when it is near; `procedure` names the caller
  // in the error log.
  void Check(const std::optional<ClientCertificateEnd>& end, const std::string& procedure);

  // The warning text, "" while the certificate is not near its end.
  const std::string& warning() const { return warning_; }

 private:
  Env& env_;
  FrontEnd& front_end_;
  std::string checked_day_;  // dd.mm.yyyy of the last Check, "" before the first
  std::string warning_;
};

// "Das Client-Zertifikat "S" läuft am dd.mm.yyyy ab (noch N Tage)", or that
// it expired on that day; "" when more than kWarningDays are left.
std::string CertificateEndWarning(const ClientCertificateEnd& end, std::int64_t now);

}  // namespace velunor
