#include "tools/mdm-sim/request_store.h"

#include <cstdio>
#include <fstream>
#include <system_error>

namespace mdmsim {

namespace {

// Written under a temporary name and renamed, so no reader sees half a file.
bool WriteFile(const std::filesystem::path& file, const std::string& bytes, std::string* error) {
  std::filesystem::path temp = file;
  temp += ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.flush();
    if (!out) {
      *error = "cannot write " + temp.string();
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, file, ec);
  if (ec) {
    *error = "cannot rename " + temp.string() + ": " + ec.message();
    return false;
  }
  return true;
}

}  // namespace

std::string RequestStore::FileStem(int number) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "request-%04d", number);
  return buf;
}

bool RequestStore::Save(const ReceivedRequest& r, std::string* error) const {
  const std::string stem = FileStem(r.number);
  std::string head = r.method + " " + r.target + " " + r.version + "\r\n";
  for (const auto& [name, value] : r.headers) head += name + ": " + value + "\r\n";
  const std::string info = "client-subject: " + r.client_subject + "\npeer: " + r.peer +
                           "\noutcome: " + r.outcome + "\n";
  return WriteFile(dir_ / (stem + ".headers"), head, error) &&
         WriteFile(dir_ / (stem + ".info"), info, error) &&
         WriteFile(dir_ / (stem + ".xml"), r.body, error);
}

}  // namespace mdmsim
