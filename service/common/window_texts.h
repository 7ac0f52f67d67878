// The window's texts: what the service state shows in each control, and how
// a caption reads on the screen. Captions follow the access-key rule of the
// window's controls: "&&" shows one "&", a single "&" marks the key and is
// not shown. Pure functions; no Qt.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "service/common/service_facts.h"
#include "service/common/window_model.h"

namespace velunor {

// "dd.mm.yyyy hh:mm:ss", as every time of the state reads; "" for none.
std::string ShownTime(const std::optional<DateTime>& at);

// The time of the last tick, "hh:mm:ss Uhr"; "" before the first.
std::string ClockText(const ServiceFacts& facts);

// The caption as the operator sees it.
std::string VisibleCaption(const std::string& caption);

// The eight labels of the version box (places in kVersionLabelRows): the
// two headings, each kind's last number ("G-"/"P-" number " am: " time),
// last acknowledgement and last failure ("!! time !!"); "---" where there
// is none yet. Each with its kind, from the same facts as its text.
std::array<VersionLabel, 8> VersionLabels(const ServiceFacts& facts);

// The caption above the station rows, in the access-key notation.
std::string Frame1Text(const ServiceFacts& facts);

// The yellow line's text: the client certificate's warning and every price
// warning, one per line ("" when there is none).
std::string WarningText(const ServiceFacts& facts);

}  // namespace velunor
