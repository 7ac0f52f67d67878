#include "service/core/certificate_watch.h"

#include "service/common/zusatzfunktionen.h"
#include "shared/cert_store.h"

namespace velunor {

namespace {

constexpr std::int64_t kDay = 24 * 60 * 60;

std::string Day(std::int64_t when) {
  return FormatValidity(static_cast<std::time_t>(when)).substr(0, 10);
}

}  // namespace

std::string CertificateEndWarning(const ClientCertificateEnd& end, std::int64_t now) {
  const std::int64_t left = end.not_after - now;
  if (left > CertificateWatch::kWarningDays * kDay) return "";
  const std::string head = "Das Client-Zertifikat \"" + end.subject + "\" ";
  if (left < 0) return head + "ist am " + Day(end.not_after) + " abgelaufen";
  const std::int64_t days = left / kDay;
  return head + "läuft am " + Day(end.not_after) + " ab (noch " + std::to_string(days) +
         (days == 1 ? " Tag)" : " Tage)");
}

CertificateWatch::CertificateWatch(Env& env, FrontEnd& front_end)
    : env_(env), front_end_(front_end) {}

bool CertificateWatch::Due() const { return checked_day_ != NowFromDate(env_.clock).substr(0, 10); }

void CertificateWatch::Check(const std::optional<ClientCertificateEnd>& end,
                             const std::string& procedure) {
  checked_day_ = NowFromDate(env_.clock).substr(0, 10);
  warning_ = end ? CertificateEndWarning(*end, env_.clock.EpochSeconds()) : "";
  env_.service.SetWarning(warning_);
  if (warning_.empty()) return;
  env_.log.WriteNotice(warning_, procedure);
  front_end_.Notice(warning_);
}

}  // namespace velunor
