// The error values that travel up to a procedure's error helper, and every
// number of the service's own that the error log can show. Low layers
// throw Failure with their library's number and text; ProgramEnd is the
// separate "end the program now" path that no helper ever swallows.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace velunor {

// Error numbers of the service's own failures, in the classic Basic numbering
// that operators know from the error logs of earlier versions.
inline constexpr int32_t kErrInvalidCall = 5;
inline constexpr int32_t kErrOutOfMemory = 7;
inline constexpr int32_t kErrSubscriptOutOfRange = 9;
inline constexpr int32_t kErrTypeMismatch = 13;
inline constexpr int32_t kErrFileNotFound = 53;
inline constexpr int32_t kErrInputPastEnd = 62;
inline constexpr int32_t kErrPathFileAccess = 75;
// The number with which a lost or refused database connection is reported;
// the scheduler recognises a lost connection by it alone.
inline constexpr int32_t kErrConnectionLost = -2147467259;  // 0x80004005
// The transport's own failures. libcurl's codes (1..99) and HTTP statuses
// (300..599) are passed on as they are; these lie above both.
inline constexpr int32_t kErrClientCertificateNotFound = 1001;
inline constexpr int32_t kErrClientCertificateUnusable = 1002;
inline constexpr int32_t kErrAnswerTooLarge = 1003;
inline constexpr int32_t kErrRedirectRefused = 1004;
// The MTS-K answered and did not acknowledge the publication.
inline constexpr int32_t kErrPublicationRefused = 1005;
// A transmission that failed on the way, or whose answer held no verdict.
inline constexpr int32_t kErrTransmissionFailed = 1006;

class Failure : public std::runtime_error {
 public:
  Failure(int32_t number, const std::string& description)
      : std::runtime_error(description), number_(number) {}
  int32_t number() const { return number_; }
  std::string description() const { return what(); }

 private:
  int32_t number_;
};

// The number and description of the exception being handled, as both logs
// write them: a Failure's own; 7 for lack of memory; 9 for an index out of
// range; 5 for any other standard exception.
// REQUIRES: called inside a catch block for std::exception.
struct CaughtError {
  int32_t number;
  std::string description;
};
CaughtError CurrentError();

// Thrown to end the program at once (a configuration fault at start). It is
// deliberately not a std::exception, so generic handlers cannot catch it.
struct ProgramEnd {
  std::string reason;
};

}  // namespace velunor
