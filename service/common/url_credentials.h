// A URL as it may be written down: a "user:password@" before the host would
// reach every log, archive file and page that shows the URL, so whatever
// shows one shows it through here. Pure function.
#pragma once

#include <string>
#include <string_view>

namespace velunor {

// `url` without the user information of its authority
// ("https://u:p@host/x" -> "https://host/x"); any other text unchanged.
std::string WithoutCredentials(std::string_view url);

}  // namespace velunor
