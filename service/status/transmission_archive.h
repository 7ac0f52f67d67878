// Every transmission kept as it went: the request body and the answer (or
// what went wrong), gzip-compressed, one file per transmission in the
// program directory's archive/. The name says when, what, which publication
// and how it ended: "20261208-100500-price-2026-000007-acknowledged.gz". The
// disk space the files take (whole blocks) stays under a cap, the oldest go
// first. Only the newest few are remembered; the rest is read from the
// directory when the cap is reached, so memory does not grow with the
// archive. A URL's user and password are never written. A file that cannot
// be written is reported to the caller and never stops anything.
// Single-threaded (the window's thread); Open and Read may run on any thread.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "service/common/date_time.h"
#include "shared/file_system.h"
#include "shared/status.h"

namespace velunor {

struct ArchivedTransmission {
  std::string name;  // the file's name
  std::string time;  // dd.mm.yyyy hh:mm:ss
  std::string kind;  // station or price
  std::string number;
  std::string outcome;       // acknowledged, refused or failed
  std::uintmax_t bytes = 0;  // the file's size
};

// What one file holds.
struct TransmissionRecord {
  DateTime when;
  std::string kind;
  std::string number;
  std::string url;
  std::string outcome;
  // Views of texts that outlive the record: a large network's request is
  // archived without a copy.
  std::string_view request;
  std::string_view answer;  // the answer's body, or the failure's text
  bool answered = false;
};

class TransmissionArchive {
 public:
  static constexpr size_t kRemembered = 50;

  // Reads what `dir` already holds and, with `remove_stale`, removes the
  // temporary files a crash left there; the directory is made on the first
  // write. Remembers the newest `remembered` files.
  // `files` must outlive the archive.
  TransmissionArchive(FileSystem& files, std::filesystem::path dir, std::uintmax_t max_bytes,
                      size_t remembered = kRemembered, bool remove_stale = true);
  // The same on the machine's file system.
  TransmissionArchive(std::filesystem::path dir, std::uintmax_t max_bytes,
                      size_t remembered = kRemembered);

  // Writes the record and drops the oldest files beyond the cap. Not ok:
  // why the file could not be written, numbered as the error log numbers a
  // file that cannot be written.
  Status Add(const TransmissionRecord& record);

  // The newest `count` files (at most `remembered`), newest first.
  std::vector<ArchivedTransmission> Newest(size_t count) const;
  // The disk space of the files, in whole blocks.
  std::uintmax_t total_bytes() const { return total_; }

  // The decompressed content of the file `name` into `text`, when it is at
  // most `max_bytes` long decompressed. Opened as Open does: a link is never
  // followed, only a regular file of a size that can unpack to `max_bytes`
  // is read. Not ok: ENOENT for a name that is not an archive file's or not
  // there, EFBIG for one too long, EILSEQ for one that is no gzip, errno
  // for one that cannot be read.
  static Status Read(const std::filesystem::path& dir, const std::string& name, std::string* text,
                     size_t max_bytes = std::string().max_size());
  // The same for the file already opened by Open; the caller keeps and
  // closes `fd`.
  static Status ReadOpened(int fd, size_t max_bytes, std::string* text);

  // The file `name` opened for reading as stored (gzip) into `fd`, which the
  // caller closes. Not ok (and `fd` -1): ENOENT for a name that is not an
  // archive file's name, errno when it cannot be opened. Read and Open serve
  // the status page's threads from the machine's disk.
  static Status Open(const std::filesystem::path& dir, const std::string& name, int* fd);

  // The file's content as written: a header, the request, the answer. The
  // request's and answer's lengths in the header let a reader cut them out.
  static std::string Content(const TransmissionRecord& record);

  // True for a name this archive could have made (no path, no dots to climb).
  static bool IsArchiveName(const std::string& name);

 private:
  // Reads the directory for the total and the newest files; over the cap,
  // first removes the oldest files until the rest fits with room to spare.
  void Scan();

  FileSystem& files_;
  std::filesystem::path dir_;
  std::uintmax_t max_bytes_;
  size_t remembered_;
  std::deque<ArchivedTransmission> newest_;  // oldest first, at most remembered_
  std::uintmax_t total_ = 0;
};

}  // namespace velunor
