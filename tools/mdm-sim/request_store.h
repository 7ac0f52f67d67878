// Where the simulator keeps what it received: for request n (from 1),
// request-NNNN.xml holds the body byte for byte, request-NNNN.headers the
// request line and headers, request-NNNN.info the client certificate's
// subject, the peer and the outcome given. The body file appears last, so a
// reader that sees it finds the other two complete. Thread-safe.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "shared/status.h"

namespace mdmsim {

struct ReceivedRequest {
  int number = 0;
  std::string method;
  std::string target;  // path and query
  std::string version;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  std::string client_subject;
  std::string peer;
  std::string outcome;
};

class RequestStore {
 public:
  explicit RequestStore(std::filesystem::path dir) : dir_(std::move(dir)) {}

  // Not ok when a file cannot be written: which and why.
  velunor::Status Save(const ReceivedRequest& request) const;

  static std::string FileStem(int number);  // "request-0001"

 private:
  std::filesystem::path dir_;
};

}  // namespace mdmsim
