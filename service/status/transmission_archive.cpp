#include "service/status/transmission_archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <regex>
#include <string_view>

#include "service/common/failure.h"
#include "service/common/text.h"
#include "service/common/url_credentials.h"
#include "shared/file_replace.h"

namespace velunor {

namespace {

constexpr std::uintmax_t kBlock = 4096;
// Dropping goes down to the cap less this fraction of it.
constexpr std::uintmax_t kRoomFraction = 64;

std::string Two(int n) { return Pad(n, 2); }

// The pieces one after the other, compressed in slices: a large network's
// publication is never held a second time, whole or compressed, beside it.
std::string Gzip(std::initializer_list<std::string_view> pieces) {
  z_stream z{};
  // 16 + window bits: a gzip header and trailer instead of zlib's. Level 3,
  // the best of zlib's fast ones: it runs on the price chain's thread, and
  // for a 3 MB price publication it takes 8 ms where the default level
  // takes 18 ms, for files about a quarter larger.
  constexpr int kLevel = 3;
  if (deflateInit2(&z, kLevel, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    return "";
  }
  std::string out;
  char slice[64 * 1024];
  int rc = Z_OK;
  const auto* last = pieces.end() - 1;
  for (const std::string_view* piece = pieces.begin(); piece != pieces.end(); ++piece) {
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece->data()));
    z.avail_in = static_cast<uInt>(piece->size());
    const int flush = piece == last ? Z_FINISH : Z_NO_FLUSH;
    do {
      z.next_out = reinterpret_cast<Bytef*>(slice);
      z.avail_out = sizeof slice;
      rc = deflate(&z, flush);
      if (rc == Z_STREAM_ERROR) break;
      out.append(slice, sizeof slice - z.avail_out);
    } while (z.avail_out == 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
    if (rc == Z_STREAM_ERROR) break;
  }
  deflateEnd(&z);
  return rc == Z_STREAM_END ? out : "";
}

Status TooLong(size_t max_bytes) {
  return Status::Error(EFBIG, "länger als " + std::to_string(max_bytes) + " Bytes");
}

// Not ok also when the text would pass `max_bytes`.
Status Gunzip(const std::string& bytes, size_t max_bytes, std::string* text) {
  const Status broken = Status::Error(EILSEQ, "keine vollständige gzip-Datei");
  z_stream z{};
  if (inflateInit2(&z, 15 + 32) != Z_OK) return broken;  // gzip or zlib
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  std::string out;
  char buffer[65536];
  int rc = Z_OK;
  while (rc == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    rc = inflate(&z, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - z.avail_out);
    if (out.size() > max_bytes) break;
    if (rc == Z_BUF_ERROR && z.avail_in == 0) break;  // truncated
  }
  inflateEnd(&z);
  if (out.size() > max_bytes) return TooLong(max_bytes);
  if (rc != Z_STREAM_END) return broken;
  *text = std::move(out);
  return Status();
}

// The file's details from its name; nullopt for any other name.
std::optional<ArchivedTransmission> FromName(const std::string& name) {
  static const std::regex kName(
      R"((\d{4})(\d{2})(\d{2})-(\d{2})(\d{2})(\d{2})-(station|price)-([0-9A-Za-z-]*)-)"
      R"((acknowledged|refused|failed)(-\d+)?\.gz)");
  std::smatch m;
  if (!std::regex_match(name, m, kName)) return std::nullopt;
  ArchivedTransmission t;
  t.name = name;
  t.time = m[3].str() + "." + m[2].str() + "." + m[1].str() + " " + m[4].str() + ":" + m[5].str() +
           ":" + m[6].str();
  t.kind = m[7];
  t.number = m[8];
  t.outcome = m[9];
  return t;
}

}  // namespace

TransmissionArchive::TransmissionArchive(std::filesystem::path dir, std::uintmax_t max_bytes,
                                         size_t remembered)
    : TransmissionArchive(RealFileSystem(), std::move(dir), max_bytes, remembered) {}

TransmissionArchive::TransmissionArchive(FileSystem& files, std::filesystem::path dir,
                                         std::uintmax_t max_bytes, size_t remembered,
                                         bool remove_stale)
    : files_(files), dir_(std::move(dir)), max_bytes_(max_bytes), remembered_(remembered) {
  if (remove_stale) RemoveStaleTemporaries(files_, dir_);
  Scan();
}

void TransmissionArchive::Scan() {
  struct Found {
    ArchivedTransmission t;
    std::uintmax_t blocks;
    timespec written;
  };
  std::vector<Found> found;
  std::vector<std::string> names;
  files_.List(dir_, &names);  // a folder not there yet holds nothing
  for (const std::string& name : names) {
    std::optional<ArchivedTransmission> t = FromName(name);
    if (!t) continue;
    const FileInfo info = files_.Stat(dir_ / name, false);
    if (!info.regular) continue;
    t->bytes = info.size;
    found.push_back({std::move(*t), info.allocated, info.modified});
  }
  // The names start with the second of sending; within a second the file
  // written first was sent first.
  constexpr size_t kSecond = 15;  // "yyyymmdd-hhmmss"
  std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    const int by_second = a.t.name.compare(0, kSecond, b.t.name, 0, kSecond);
    if (by_second != 0) return by_second < 0;
    if (a.written.tv_sec != b.written.tv_sec) return a.written.tv_sec < b.written.tv_sec;
    if (a.written.tv_nsec != b.written.tv_nsec) return a.written.tv_nsec < b.written.tv_nsec;
    return a.t.name < b.t.name;
  });
  total_ = 0;
  for (const Found& f : found) total_ += f.blocks;
  // Down to a little below the cap, so that the directory is read again
  // only after many more transmissions, not after each one. The newest
  // file stays even when it alone is over the cap.
  size_t first = 0;
  if (total_ > max_bytes_) {
    const std::uintmax_t target = max_bytes_ - max_bytes_ / kRoomFraction;
    while (total_ > target && first + 1 < found.size()) {
      files_.Remove(dir_ / found[first].t.name);
      total_ -= found[first].blocks;
      ++first;
    }
  }
  newest_.clear();
  for (size_t i = std::max(first, found.size() - std::min(found.size(), remembered_));
       i < found.size(); ++i) {
    newest_.push_back(std::move(found[i].t));
  }
}

bool TransmissionArchive::IsArchiveName(const std::string& name) {
  return FromName(name).has_value();
}

namespace {

// The archived text around the request and the answer, which are not copied.
struct ContentFrame {
  std::string head;    // up to the request
  std::string middle;  // between request and answer
};

ContentFrame FrameOf(const TransmissionRecord& r) {
  const DateTime& w = r.when;
  ContentFrame frame;
  frame.head = "Velunor-Übertragung\nZeit: " + Two(w.day) + "." + Two(w.month) + "." +
               std::to_string(w.year) + " " + Two(w.hour) + ":" + Two(w.minute) + ":" +
               Two(w.second) + "\nArt: " + r.kind + "\nPublikation: " + r.number +
               "\nURL: " + WithoutCredentials(r.url) + "\nErgebnis: " + r.outcome +
               "\nAnfrage: " + std::to_string(r.request.size()) + " Bytes\n";
  frame.middle = r.answered ? "\nAntwort: " : "\nFehler: ";
  frame.middle += std::to_string(r.answer.size()) + " Bytes\n";
  return frame;
}

}  // namespace

std::string TransmissionArchive::Content(const TransmissionRecord& r) {
  const ContentFrame frame = FrameOf(r);
  std::string text = frame.head;
  text.append(r.request).append(frame.middle).append(r.answer) += '\n';
  return text;
}

Status TransmissionArchive::Add(const TransmissionRecord& r) {
  const DateTime& w = r.when;
  std::string number;
  for (char c : r.number) number += std::isalnum(static_cast<unsigned char>(c)) ? c : '-';
  const std::string stem = std::to_string(w.year) + Two(w.month) + Two(w.day) + "-" + Two(w.hour) +
                           Two(w.minute) + Two(w.second) + "-" + r.kind + "-" + number + "-" +
                           r.outcome;
  files_.CreateDirectories(dir_);
  std::string name = stem + ".gz";
  for (int n = 2; files_.Stat(dir_ / name, true).exists; ++n) {
    name = stem + "-" + std::to_string(n) + ".gz";
  }
  std::optional<ArchivedTransmission> entry = FromName(name);
  if (!entry) return Status::Error(kErrPathFileAccess, "Archivname ungültig: " + name);
  const ContentFrame frame = FrameOf(r);
  const std::string bytes = Gzip({frame.head, r.request, frame.middle, r.answer, "\n"});
  if (bytes.empty())
    return Status::Error(kErrPathFileAccess, "Komprimieren fehlgeschlagen: " + name);
  if (const Status written = ReplaceFile(files_, dir_ / name, bytes); !written.ok()) {
    return Status::Error(kErrPathFileAccess, written.message());
  }
  entry->bytes = bytes.size();
  const FileInfo written = files_.Stat(dir_ / name, true);
  // A file system that cannot say counts the size rounded up to a block.
  total_ += written.exists ? written.allocated : (bytes.size() + kBlock - 1) / kBlock * kBlock;
  newest_.push_back(std::move(*entry));
  if (newest_.size() > remembered_) newest_.pop_front();
  if (total_ > max_bytes_) Scan();
  return Status();
}

std::vector<ArchivedTransmission> TransmissionArchive::Newest(size_t count) const {
  std::vector<ArchivedTransmission> newest;
  for (auto it = newest_.rbegin(); it != newest_.rend() && newest.size() < count; ++it) {
    newest.push_back(*it);
  }
  return newest;
}

Status TransmissionArchive::Read(const std::filesystem::path& dir, const std::string& name,
                                 std::string* text, size_t max_bytes) {
  int fd = -1;
  if (Status opened = Open(dir, name, &fd); !opened.ok()) return opened;
  Status read = ReadOpened(fd, max_bytes, text);
  close(fd);
  return read;
}

Status TransmissionArchive::ReadOpened(int fd, size_t max_bytes, std::string* text) {
  text->clear();
  struct stat st {};
  if (fstat(fd, &st) != 0) return Status::Error(errno, std::strerror(errno));
  if (!S_ISREG(st.st_mode) || st.st_size < 0) return Status::Error(ENOENT, "keine Archivdatei");
  // Packed, a text is hardly ever larger than itself; a file far beyond the
  // bound is not read into memory at all.
  const size_t stored = static_cast<size_t>(st.st_size);
  const size_t bound = max_bytes > std::string().max_size() / 2 ? max_bytes : max_bytes * 2 + 4096;
  if (stored > bound) return TooLong(max_bytes);
  std::string bytes(stored, '\0');
  size_t got = 0;
  while (got < stored) {
    const ssize_t n = pread(fd, bytes.data() + got, stored - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Status::Error(errno, std::strerror(errno));
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  bytes.resize(got);
  return Gunzip(bytes, max_bytes, text);
}

Status TransmissionArchive::Open(const std::filesystem::path& dir, const std::string& name,
                                 int* fd) {
  *fd = -1;
  if (!IsArchiveName(name)) return Status::Error(ENOENT, "kein Name einer Archivdatei");
  *fd = open((dir / name).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (*fd < 0) return Status::Error(errno, std::strerror(errno));
  return Status();
}

}  // namespace velunor
