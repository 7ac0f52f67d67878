// The status line as the service records it: when it was set, in which
// scheduler state, what the service was doing and the number it shows
// after that. Every text of it that a window, the page, the journal or the
// service manager shows is made here. Plain value type; no state.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "service/common/date_time.h"

namespace velunor {

struct StatusLine {
  StatusLine(DateTime at_time, std::optional<int> state, std::string what,
             std::optional<int> shown_code = std::nullopt)
      : at(at_time), scheduler_state(state), text(std::move(what)), code(shown_code) {}

  DateTime at;
  // The scheduler's state (AblaufStatus) when it was set; nullopt for a
  // line set outside the scheduler's steps (the transmission's own).
  std::optional<int> scheduler_state;
  // As the service writes it after the time, with its leading blank:
  // " Warten auf Auftrag".
  std::string text;
  // Shown after the text as " (803)": the step of a wait that repeats.
  std::optional<int> code;
};

// "dd.mm.yyyy hh:mm:ss text (code)"; "" before the first line.
std::string StatusLineText(const std::optional<StatusLine>& line);

// The line without its time, "text (code)": what has changed when more than
// the time has; "" before the first line.
std::string StatusLineWithoutTime(const std::optional<StatusLine>& line);

}  // namespace velunor
