// Replacing a whole file so that nobody ever sees half of it: the new bytes
// go to a fresh file in the target's folder, created exclusively (a link or
// file planted at that name is never opened, never followed), flushed to
// disk, then renamed over the target. Used by every writer of both programs, the
// service's through its FileSystem.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "shared/file_system.h"

namespace velunor {

struct ReplaceOptions {
  // The temporary file's name when nothing is in the way (a regular file left
  // there by an earlier run is removed first); empty, or something other than
  // a regular file at that name: a fresh name beside the target.
  std::filesystem::path temporary;
  // Set to true when the preferred temporary name was taken by something
  // other than a regular file (a link, a folder), which the caller reports.
  bool* temporary_taken = nullptr;
};

// Ok when `target` holds exactly `bytes`. Otherwise the system's error
// number and a text saying which file and why; the old target is then
// untouched and no temporary file is left behind.
Status ReplaceFile(FileSystem& fs, const std::filesystem::path& target, std::string_view bytes,
                   const ReplaceOptions& options = {});
// The same on the machine's file system, for Kestrin.
Status ReplaceFile(const std::filesystem::path& target, std::string_view bytes,
                   const ReplaceOptions& options = {});

// Removes the temporary files that ReplaceFile leaves in `dir` when the
// process ends between creating and renaming one (a crash, a kill): regular
// files named "<target>.<8 letters or digits>.tmp", nothing else, no
// sub-folders. Returns how many went; a file that cannot be removed stays.
int RemoveStaleTemporaries(FileSystem& fs, const std::filesystem::path& dir);
int RemoveStaleTemporaries(const std::filesystem::path& dir);

}  // namespace velunor
