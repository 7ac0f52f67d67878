// Test doubles of the transmission: a communication log that records its
// lines, and a transport that plays a scripted answer (for tests about the
// answer's evaluation, not about the transport). Test code only.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "service/common/failure.h"
#include "service/common/komm_log_sink.h"
#include "service/transmission/https_transport.h"

namespace velunor::testing {

class RecordingKommLog : public KommLogSink {
 public:
  void KommLog(const std::string& line) override {
    if (line == throw_on) throw Failure(kErrPathFileAccess, "Pfad/Datei-Zugriffsfehler");
    lines.push_back(line);
  }
  std::vector<std::string> lines;
  std::string throw_on = "\x01";  // a message that makes the log fail, for failure tests
};

class ScriptedTransport : public HttpsTransport {
 public:
  HttpsAnswer Send(const HttpsRequest& request, TlsEvents& events) override {
    requests.push_back(request);
    if (during_send) during_send(events);
    if (failure) throw *failure;
    return answer;
  }
  HttpsAnswer answer{"HTTP/1.1 200 OK", ""};
  std::optional<Failure> failure;
  std::function<void(TlsEvents&)> during_send;
  std::vector<HttpsRequest> requests;
};

}  // namespace velunor::testing
