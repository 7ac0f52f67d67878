// How texts of the window model read on the screen. Captions follow the
// access-key rule of the window's controls: "&&" shows one "&", a single "&"
// marks the key and is not shown. Pure functions; no Qt.
#pragma once

#include <string>

namespace velunor {

// The caption as the operator sees it.
std::string VisibleCaption(const std::string& caption);

// True for the time of a failed transmission, which the window frames as "!! time !!".
bool IsFailureMark(const std::string& text);

}  // namespace velunor
