// Replacing a whole file so that nobody ever sees half of it: the new bytes
// go to a fresh file in the target's folder, created exclusively (a link or
// file planted at that name is never opened, never followed), flushed to
// disk, then renamed over the target. Used by every writer of both programs.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace velunor {

// Returns true when `target` holds exactly `bytes`. On failure returns false
// with `error` saying which file and why; the old target is then untouched
// and no temporary file is left behind.
bool ReplaceFile(const std::filesystem::path& target, std::string_view bytes, std::string* error);

}  // namespace velunor
