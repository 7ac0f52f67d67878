#include "tools/mdm-sim/outcome.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

#include "shared/escape.h"

namespace mdmsim {

namespace {

std::string XmlText(const std::string& text) {
  return velunor::Escaped(text, {{'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}});
}

// Shaped like the MTS-K's answer to a publication: a DATEX II exchange
// element with the response and the supplier's identification.
std::string SoapAnswer(const std::vector<std::string>& responses, bool declaration) {
  std::string xml = declaration ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" : "";
  xml +=
      "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\">\n"
      "<soapenv:Header/>\n"
      "<soapenv:Body>\n"
      "<d2LogicalModel xmlns=\"http://datex2.eu/schema/2/2_0\" modelBaseVersion=\"2\">\n"
      "<exchange>\n";
  for (const std::string& r : responses) xml += "<response>" + XmlText(r) + "</response>\n";
  xml +=
      "<supplierIdentification>\n"
      "<country>de</country>\n"
      "<nationalIdentifier>MDM</nationalIdentifier>\n"
      "</supplierIdentification>\n"
      "</exchange>\n"
      "</d2LogicalModel>\n"
      "</soapenv:Body>\n"
      "</soapenv:Envelope>\n";
  return xml;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

bool StartsWith(const std::string& text, const char* prefix, std::string* rest) {
  const std::string p(prefix);
  if (text.compare(0, p.size(), p) != 0) return false;
  *rest = text.substr(p.size());
  return true;
}

}  // namespace

velunor::Status ParseOutcome(const std::string& text, Outcome* outcome) {
  const auto invalid = [](const std::string& why) { return velunor::Status::Error(EINVAL, why); };
  Outcome o;
  o.text = text;
  std::string rest;
  if (text == "ack" || text == "ack-plain") {
    o.responses = {"acknowledge"};
    o.declaration = text == "ack";
  } else if (StartsWith(text, "refuse:", &rest)) {
    o.responses = {rest};
  } else if (StartsWith(text, "responses:", &rest)) {
    o.responses = Split(rest, '|');
  } else if (text == "non-xml") {
    o.kind = Outcome::Kind::kNonXml;
  } else if (text == "empty") {
    o.kind = Outcome::Kind::kEmpty;
  } else if (StartsWith(text, "http:", &rest)) {
    char* end = nullptr;
    const long code = std::strtol(rest.c_str(), &end, 10);
    if (rest.empty() || *end != '\0' || code < 100 || code > 599) {
      return invalid("http: needs a status between 100 and 599: " + text);
    }
    o.kind = Outcome::Kind::kHttpStatus;
    o.status = static_cast<int>(code);
  } else if (StartsWith(text, "delay:", &rest)) {
    const size_t colon = rest.find(':');
    const std::string seconds = rest.substr(0, colon);
    char* end = nullptr;
    const double value = std::strtod(seconds.c_str(), &end);
    if (seconds.empty() || *end != '\0' || !(value >= 0)) {
      return invalid("delay: needs seconds, then optionally :OUTCOME: " + text);
    }
    velunor::Status then =
        ParseOutcome(colon == std::string::npos ? "ack" : rest.substr(colon + 1), outcome);
    if (!then.ok()) return then;
    outcome->delay_seconds += value;
    outcome->text = text;
    return then;
  } else if (StartsWith(text, "redirect:", &rest)) {
    o.kind = Outcome::Kind::kRedirect;
    o.locations = Split(rest, '|');
    for (const std::string& location : o.locations) {
      if ((location.empty() || location[0] != '/') && location.rfind("https://", 0) != 0 &&
          location.rfind("http://", 0) != 0) {
        return invalid("redirect: needs a path or an http(s):// URL: " + text);
      }
    }
  } else if (StartsWith(text, "file:", &rest) && !rest.empty()) {
    o.kind = Outcome::Kind::kFile;
    o.target = rest;
  } else {
    return invalid("unknown outcome: " + text);
  }
  *outcome = std::move(o);
  return velunor::Status();
}

Reply MakeReply(const Outcome& outcome) {
  Reply r;
  switch (outcome.kind) {
    case Outcome::Kind::kResponses:
      r.content_type = "text/xml;charset=utf-8";
      r.body = SoapAnswer(outcome.responses, outcome.declaration);
      break;
    case Outcome::Kind::kNonXml:
      r.content_type = "text/html;charset=utf-8";
      r.body =
          "<!DOCTYPE html>\n<html><head><title>Wartung</title></head>\n"
          "<body><h1>Wartungsarbeiten</h1><p>Der Dienst ist vor\xC3\xBC"
          "bergehend nicht "
          "erreichbar.<br></p></body></html>\n";
      break;
    case Outcome::Kind::kEmpty:
      r.content_type = "text/xml;charset=utf-8";
      break;
    case Outcome::Kind::kHttpStatus:
      r.status = outcome.status;
      r.content_type = "text/plain;charset=utf-8";
      r.body = "simulated status " + std::to_string(outcome.status) + "\n";
      break;
    case Outcome::Kind::kRedirect:
      r.status = 307;
      r.content_type = "text/plain;charset=utf-8";
      r.locations = outcome.locations;
      r.body = "moved to " + outcome.locations.front() + "\n";
      break;
    case Outcome::Kind::kFile: {
      std::ifstream in(outcome.target, std::ios::binary);
      if (!in) {
        r.status = 500;
        r.content_type = "text/plain;charset=utf-8";
        r.body = "cannot read " + outcome.target + "\n";
        break;
      }
      r.content_type = "text/xml;charset=utf-8";
      r.body.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      break;
    }
  }
  return r;
}

OutcomeQueue::OutcomeQueue(std::vector<Outcome> outcomes) : outcomes_(std::move(outcomes)) {
  if (outcomes_.empty()) {
    outcomes_.emplace_back();
    ParseOutcome("ack", &outcomes_.back());
  }
}

Outcome OutcomeQueue::Next(int* request_number) {
  std::lock_guard<std::mutex> lock(mutex_);
  *request_number = ++requests_;
  Outcome next = outcomes_.front();
  if (outcomes_.size() > 1) outcomes_.erase(outcomes_.begin());
  return next;
}

void OutcomeQueue::Replace(std::vector<Outcome> outcomes) {
  if (outcomes.empty()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  outcomes_ = std::move(outcomes);
}

std::vector<std::string> OutcomeQueue::Pending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> texts;
  for (const Outcome& o : outcomes_) texts.push_back(o.text);
  return texts;
}

velunor::Status TakeControlFile(const std::filesystem::path& file, std::vector<Outcome>* outcomes) {
  outcomes->clear();
  std::ifstream in(file, std::ios::binary);
  if (!in) return velunor::Status::Error(ENOENT, "no control file");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  }
  in.close();
  std::error_code ec;
  std::filesystem::remove(file, ec);

  for (const std::string& line : lines) {
    Outcome o;
    if (velunor::Status parsed = ParseOutcome(line, &o); !parsed.ok()) {
      outcomes->clear();
      return parsed;
    }
    outcomes->push_back(std::move(o));
  }
  if (outcomes->empty()) return velunor::Status::Error(EINVAL, "the control file names no outcome");
  return velunor::Status();
}

bool StopSignal::Wait(double seconds) {
  std::unique_lock<std::mutex> lock(mutex_);
  return !cv_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return stopped_; });
}

void StopSignal::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
  }
  cv_.notify_all();
}

}  // namespace mdmsim
