// The window's texts: what the service state shows in each control, and how
// a caption reads on the screen. Captions follow the access-key rule of the
// window's controls: "&&" shows one "&", a single "&" marks the key and is
// not shown. Pure functions; no Qt.
#pragma once

#include <array>
#include <string>

#include "service/common/service_state.h"

namespace velunor {

// The caption as the operator sees it.
std::string VisibleCaption(const std::string& caption);

// The eight labels of the version box: the two headings, each kind's last
// number ("G-"/"P-" number " am: " time), last acknowledgement and last
// failure ("!! time !!"); "---" where there is none yet.
std::array<std::string, 8> Label1Texts(const ServiceState& state);

// The caption above the station rows, in the access-key notation.
std::string Frame1Text(const ServiceState& state);

// The yellow line's text: the client certificate's warning and every price
// warning, one per line ("" when there is none).
std::string WarningText(const ServiceState& state);

// True for the time of a failed transmission, which the window frames as "!! time !!".
bool IsFailureMark(const std::string& text);

// What a label of the two version lines shows; the window and the status
// page pick its colours by this, so both tell a failure alike.
enum class LabelKind { kHeading, kEmpty, kFailed, kSet };

// Labels 0 and 2 are the fixed headings; "---" is no time yet; a failure
// mark is a failed transmission; anything else is set.
LabelKind ClassifyLabel(int index, const std::string& text);

// "heading", "empty", "failed" or "set".
const char* LabelKindName(LabelKind kind);

}  // namespace velunor
