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

}  // namespace velunor
