// The service's window as a web page: status line, the two version lines
// with their failure markers, the compliance alarm, the communication list,
// the station grid and the clock, in the window's German texts. The page
// shows the picture it was served with and renews itself every 2 s from
// /status.part, the same body rendered by the same code, so the first paint
// and every refresh look alike; it needs nothing from elsewhere (no fonts,
// no scripts).
#pragma once

#include <string>

#include "service/status/status_snapshot.h"

namespace velunor {

// The whole page for `snapshot`, every text HTML-escaped.
std::string StatusPage(const StatusSnapshot& snapshot);

// The page's body without its script: what /status.part serves and the
// page's script puts in place of what it shows.
std::string StatusPart(const StatusSnapshot& snapshot);

// Text with &, <, >, " and ' escaped for HTML.
std::string HtmlEscape(const std::string& text);

}  // namespace velunor
