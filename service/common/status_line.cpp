#include "service/common/status_line.h"

#include "service/common/zusatzfunktionen.h"

namespace velunor {

std::string StatusLineText(const std::optional<StatusLine>& line) {
  if (!line) return "";
  return DateTimeText(line->at) + StatusLineWithoutTime(line);
}

std::string StatusLineWithoutTime(const std::optional<StatusLine>& line) {
  if (!line) return "";
  if (!line->code) return line->text;
  return line->text + " (" + std::to_string(*line->code) + ")";
}

}  // namespace velunor
