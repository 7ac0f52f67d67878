#include "service/common/window_texts.h"

#include "service/common/text.h"
#include "service/common/zusatzfunktionen.h"

namespace velunor {

namespace {

VersionLabel Heading(const char* text) { return {text, LabelKind::kHeading}; }

VersionLabel Version(const char* prefix, const PublicationRecord& r) {
  if (r.number.empty()) return {"---", LabelKind::kEmpty};
  return {std::string(prefix).append(r.number).append(" am: ").append(ShownTime(r.numbered_at)),
          LabelKind::kSet};
}

VersionLabel Acknowledged(const PublicationRecord& r) {
  if (!r.acknowledged_at) return {"---", LabelKind::kEmpty};
  return {ShownTime(r.acknowledged_at), LabelKind::kSet};
}

VersionLabel Failed(const PublicationRecord& r) {
  if (!r.failed_at) return {"---", LabelKind::kEmpty};
  return {"!! " + ShownTime(r.failed_at) + " !!", LabelKind::kFailed};
}

}  // namespace

std::string ShownTime(const std::optional<DateTime>& at) { return at ? DateTimeText(*at) : ""; }

std::string ClockText(const ServiceFacts& facts) {
  if (!facts.clock) return "";
  const DateTime& t = *facts.clock;
  return Pad(t.hour, 2) + ":" + Pad(t.minute, 2) + ":" + Pad(t.second, 2) + " Uhr";
}

std::array<VersionLabel, 8> VersionLabels(const ServiceFacts& facts) {
  const PublicationRecord& station = facts.publication(PublicationKind::kStation);
  const PublicationRecord& price = facts.publication(PublicationKind::kPrice);
  return {Heading("Version Grunddaten:"),
          Version("G-", station),
          Heading("Version Preisdaten:"),
          Version("P-", price),
          Acknowledged(station),
          Acknowledged(price),
          Failed(station),
          Failed(price)};
}

std::string Frame1Text(const ServiceFacts& facts) {
  if (!facts.reporter) return "Stationen";
  return "Stationen zu " + ReplaceAll(*facts.reporter, "&", "&&");
}

std::string VisibleCaption(const std::string& caption) {
  std::string shown;
  shown.reserve(caption.size());
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] != '&') {
      shown += caption[i];
    } else if (i + 1 < caption.size() && caption[i + 1] == '&') {
      shown += '&';
      ++i;
    }
    // A single "&" only marks the access key.
  }
  return shown;
}

std::string WarningText(const ServiceFacts& facts) {
  std::string text = facts.warning;
  for (const PriceWarning& w : facts.price_warnings) {
    if (!text.empty()) text += "\n";
    text += PriceWarningText(w);
  }
  return text;
}

}  // namespace velunor
