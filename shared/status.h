// The result of an operation at a layer's edge: ok, or an error number and a
// text (the driver's, the library's, the system's or the server's words).
// The one currency in which the service's and Kestrin's components report
// a failure to their callers; a value type, cheap to copy when ok. The
// caller turns an error into its log entry or its message in one place.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace velunor {

class Status {
 public:
  // Ok.
  Status() = default;
  static Status Error(int32_t code, std::string message) {
    return Status(code, std::move(message));
  }

  bool ok() const { return !error_; }
  // 0 and "" when ok.
  int32_t code() const { return code_; }
  const std::string& message() const { return message_; }

 private:
  Status(int32_t code, std::string message)
      : error_(true), code_(code), message_(std::move(message)) {}

  bool error_ = false;
  int32_t code_ = 0;
  std::string message_;
};

}  // namespace velunor
