#include "service/common/window_texts.h"

#include "service/common/text.h"

namespace velunor {

namespace {

std::string OrNone(const std::string& text) { return text.empty() ? "---" : text; }

}  // namespace

std::array<std::string, 8> Label1Texts(const ServiceState& state) {
  const PublicationRecord& station = state.publication(PublicationKind::kStation);
  const PublicationRecord& price = state.publication(PublicationKind::kPrice);
  const auto version = [](const char* prefix, const PublicationRecord& r) {
    return r.number.empty()
               ? std::string("---")
               : std::string(prefix).append(r.number).append(" am: ").append(r.numbered_at);
  };
  const auto failed = [](const PublicationRecord& r) {
    return r.failed_at.empty() ? std::string("---")
                               : std::string("!! ").append(r.failed_at).append(" !!");
  };
  return {"Version Grunddaten:",
          version("G-", station),
          "Version Preisdaten:",
          version("P-", price),
          OrNone(station.acknowledged_at),
          OrNone(price.acknowledged_at),
          failed(station),
          failed(price)};
}

std::string Frame1Text(const ServiceState& state) {
  if (!state.reporter()) return "Stationen";
  return "Stationen zu " + ReplaceAll(*state.reporter(), "&", "&&");
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

std::string WarningText(const ServiceState& state) {
  std::string text = state.warning();
  for (const PriceWarning& w : state.price_warnings()) {
    if (!text.empty()) text += "\n";
    text += PriceWarningText(w);
  }
  return text;
}

bool IsFailureMark(const std::string& text) {
  return text.size() >= 6 && text.compare(0, 3, "!! ") == 0 &&
         text.compare(text.size() - 3, 3, " !!") == 0;
}

LabelKind ClassifyLabel(int index, const std::string& text) {
  if (index == 0 || index == 2) return LabelKind::kHeading;
  if (text == "---") return LabelKind::kEmpty;
  return IsFailureMark(text) ? LabelKind::kFailed : LabelKind::kSet;
}

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

}  // namespace velunor
