// The answers the endpoint simulator can give, as written on its command
// line, in its control file or typed at its prompt, and the queue that hands
// one to each request. The queue is shared by the server's threads.
//
//   ack                 acknowledge, answer with an XML declaration
//   ack-plain           acknowledge, answer without an XML declaration
//   refuse:TEXT         one `response` element with TEXT
//   responses:T1|T2...  several `response` elements, in this order
//   non-xml             status 200 with an error page that is not XML
//   empty               status 200 with an empty body
//   http:CODE           status CODE with a short text body
//   delay:SECONDS[:OUTCOME]  wait, then answer OUTCOME (default ack)
//   redirect:PATH       status 307 to PATH on this server, or to a whole
//                       https:// URL (another server) or http:// URL (one a
//                       client must refuse); redirect:T1|T2...
//                       names several Location headers, in this order
//   file:PATH           status 200 with the bytes of the file PATH
#pragma once

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "shared/status.h"

namespace mdmsim {

struct Outcome {
  enum class Kind { kResponses, kNonXml, kEmpty, kHttpStatus, kRedirect, kFile };
  std::string text;  // as written, for the log
  Kind kind = Kind::kResponses;
  std::vector<std::string> responses;  // kResponses
  bool declaration = true;             // kResponses: answer starts with <?xml ...?>
  int status = 200;                    // kHttpStatus
  std::string target;                  // kFile: file name
  std::vector<std::string> locations;  // kRedirect: paths or URLs
  double delay_seconds = 0;
};

// Not ok (EINVAL, saying why) when `text` is not one of the forms above.
velunor::Status ParseOutcome(const std::string& text, Outcome* outcome);

struct Reply {
  int status = 200;
  std::string content_type;
  std::string body;
  std::vector<std::string> locations;  // for redirects, one Location header each
};

// The answer of `outcome`; a file that cannot be read gives status 500.
Reply MakeReply(const Outcome& outcome);

// The outcomes still to come: each request takes the first; the last one
// stays for all further requests. Thread-safe.
class OutcomeQueue {
 public:
  explicit OutcomeQueue(std::vector<Outcome> outcomes);

  // The outcome for the next request, and its number (1, 2, ...).
  Outcome Next(int* request_number);
  void Replace(std::vector<Outcome> outcomes);
  std::vector<std::string> Pending() const;

 private:
  mutable std::mutex mutex_;
  std::vector<Outcome> outcomes_;
  int requests_ = 0;
};

// Reads the control file if there is one: one outcome per line (blank lines
// and lines starting with # ignored), then removes it so that it counts
// once. Not ok: ENOENT when there is no file; EINVAL when a line is not an
// outcome or none is named (the file is removed all the same).
velunor::Status TakeControlFile(const std::filesystem::path& file, std::vector<Outcome>* outcomes);

// Lets waiting requests end early when the simulator stops.
class StopSignal {
 public:
  // Waits up to `seconds`; false when stopped meanwhile.
  bool Wait(double seconds);
  void Stop();

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool stopped_ = false;
};

}  // namespace mdmsim
