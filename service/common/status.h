// The result of a procedure as the scheduler receives it: ok, or an error
// number and a text (the driver's, the library's or the server's words).
// A value type; copying it is cheap when ok. The caller turns an error into
// its log entry or its message in one place (Procedure::Check).
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

#include "service/common/failure.h"

namespace velunor {

class Status {
 public:
  // Ok.
  Status() = default;
  static Status Error(int32_t code, std::string message) {
    return Status(code, std::move(message));
  }
  // The exception being handled, numbered as the error logs number it.
  // REQUIRES: called inside a catch block for std::exception.
  static Status Caught() {
    CaughtError error = CurrentError();
    return Error(error.number, std::move(error.description));
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

// Runs `step`; an exception it throws (a std::exception: ProgramEnd passes)
// becomes the error.
template <class F>
Status StatusOf(F&& step) {
  try {
    std::forward<F>(step)();
    return Status();
  } catch (const std::exception&) {
    return Status::Caught();
  }
}

}  // namespace velunor
