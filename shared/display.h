// Whether a window can be shown: both programs use Qt, which ends the process
// when it cannot reach the display it is given, so a stale DISPLAY must count
// as no display. No Qt here.
#pragma once

namespace velunor {

// True when QT_QPA_PLATFORM is set (chosen explicitly), a Wayland socket or
// the local X server of DISPLAY exists, or DISPLAY names a remote server.
bool DisplayAvailable();

}  // namespace velunor
