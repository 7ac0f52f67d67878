#include "tools/mdm-sim/request_store.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <system_error>
#include <utility>

namespace mdmsim {

namespace {

// Written under a temporary name and renamed, so no reader sees half a file.
velunor::Status WriteFile(const std::filesystem::path& file, const std::string& bytes) {
  std::filesystem::path temp = file;
  temp += ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.flush();
    if (!out) return velunor::Status::Error(EIO, "cannot write " + temp.string());
  }
  std::error_code ec;
  std::filesystem::rename(temp, file, ec);
  if (ec)
    return velunor::Status::Error(ec.value(),
                                  "cannot rename " + temp.string() + ": " + ec.message());
  return velunor::Status();
}

}  // namespace

std::string RequestStore::FileStem(int number) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "request-%04d", number);
  return buf;
}

velunor::Status RequestStore::Save(const ReceivedRequest& r) const {
  const std::string stem = FileStem(r.number);
  std::string head = r.method + " " + r.target + " " + r.version + "\r\n";
  for (const auto& [name, value] : r.headers) head += name + ": " + value + "\r\n";
  const std::string info = "client-subject: " + r.client_subject + "\npeer: " + r.peer +
                           "\noutcome: " + r.outcome + "\n";
  for (const auto& [suffix, bytes] : {std::pair<const char*, const std::string&>{".headers", head},
                                      {".info", info},
                                      {".xml", r.body}}) {
    if (velunor::Status written = WriteFile(dir_ / (stem + suffix), bytes); !written.ok()) {
      return written;
    }
  }
  return velunor::Status();
}

}  // namespace mdmsim
