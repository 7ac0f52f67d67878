#include "service/common/window_texts.h"

#include <stdexcept>

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

const char* LabelKindName(LabelKind kind) {
  switch (kind) {
    case LabelKind::kHeading:
      return "heading";
    case LabelKind::kEmpty:
      return "empty";
    case LabelKind::kFailed:
      return "failed";
    case LabelKind::kSet:
      break;
  }
  return "set";
}

std::string ShownTime(const std::optional<DateTime>& at) { return at ? DateTimeText(*at) : ""; }

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

namespace {

// The time of the last tick, "hh:mm:ss Uhr"; "" before the first.
std::string ClockText(const ServiceFacts& facts) {
  if (!facts.clock) return "";
  const DateTime& t = *facts.clock;
  return Pad(t.hour, 2) + ":" + Pad(t.minute, 2) + ":" + Pad(t.second, 2) + " Uhr";
}

// The caption above the station rows, in the access-key notation.
std::string Frame1Text(const ServiceFacts& facts) {
  if (!facts.reporter) return "Stationen";
  return "Stationen zu " + ReplaceAll(*facts.reporter, "&", "&&");
}

// The yellow line: the client certificate's warning and every price
// warning, one per line ("" when there is none).
std::string WarningText(const ServiceFacts& facts) {
  std::string text = facts.warning;
  for (const PriceWarning& w : facts.price_warnings) {
    if (!text.empty()) text += "\n";
    text += PriceWarningText(w);
  }
  return text;
}

}  // namespace

const std::vector<ShownText>& ShownTexts() {
  static const std::vector<ShownText> texts = {
      {"caption", "caption", {Aspect::kTitle}, [](const ServiceFacts& f) { return f.caption; }},
      {"info",
       "status_line",
       {Aspect::kStatusLine},
       [](const ServiceFacts& f) { return StatusLineText(f.status_line); }},
      {"alarm", "alarm", {Aspect::kAlarm}, [](const ServiceFacts& f) { return f.alarm; }},
      {"warning", "warning", {Aspect::kWarning, Aspect::kPriceWarning}, WarningText},
      {"frame1", "frame1", {Aspect::kReporter}, Frame1Text, true},
      {"version", "version", {Aspect::kTitle}, [](const ServiceFacts& f) { return f.version; }},
      {"clock", "clock", {Aspect::kClock}, ClockText},
  };
  return texts;
}

int ShownTextIndex(std::string_view name) {
  const std::vector<ShownText>& texts = ShownTexts();
  for (size_t i = 0; i < texts.size(); ++i) {
    if (texts[i].name == name) return static_cast<int>(i);
  }
  throw std::out_of_range("no shown text " + std::string(name));
}

std::string Shown(const ServiceFacts& facts, std::string_view name) {
  const ShownText& text = ShownTexts()[static_cast<size_t>(ShownTextIndex(name))];
  return text.access_keys ? VisibleCaption(text.make(facts)) : text.make(facts);
}

}  // namespace velunor
