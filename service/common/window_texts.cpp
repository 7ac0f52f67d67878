#include "service/common/window_texts.h"

namespace velunor {

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
