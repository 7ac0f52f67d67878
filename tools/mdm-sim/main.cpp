// mdm-sim: a local stand-in for the MTS-K's SOAP endpoint, for tests and the
// demo. HTTPS on 127.0.0.1 with one TLS version (1.2 unless told), client
// certificates of one CA only; stores every request and answers with the
// outcome chosen on the command line, in the control file or at the prompt.
#include <signal.h>
#include <unistd.h>
#include <cerrno>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "tools/mdm-sim/outcome.h"
#include "tools/mdm-sim/request_store.h"
#include "tools/mdm-sim/sim_log.h"
#include "tools/mdm-sim/tls_setup.h"

namespace mdmsim {
namespace {

const char kUsage[] =
    "usage: mdm-sim [options]\n"
    "  --certs DIR          server.pem, server-key.pem and ca.pem from DIR\n"
    "                       (as tools/make-test-certs writes them)\n"
    "  --cert FILE          server certificate (PEM)\n"
    "  --key FILE           its private key (PEM)\n"
    "  --client-ca FILE     CA whose client certificates are accepted (PEM)\n"
    "  --host ADDR          address to listen on (default 127.0.0.1)\n"
    "  --port N             port (default 0: any free port)\n"
    "  --port-file FILE     write the port there once listening\n"
    "  --requests DIR       store requests there (default ./mdm-requests)\n"
    "  --outcome OUTCOME    answer to give; repeat for a sequence, the last one stays\n"
    "  --control FILE       read new outcomes from FILE before each request, then remove it\n"
    "  --tls-version V      1.2 (default) or 1.3, the only version offered\n"
    "  --quiet              no console lines\n"
    "outcomes:\n"
    "  ack | ack-plain | refuse:TEXT | responses:T1|T2... | non-xml | empty\n"
    "  http:CODE | delay:SECONDS[:OUTCOME] | redirect:PATH|URL | file:PATH\n";

struct Options {
  TlsFiles tls;
  std::string host = "127.0.0.1";
  int port = 0;
  std::string port_file;
  std::string requests = "mdm-requests";
  std::vector<Outcome> outcomes;
  std::string control;
  bool quiet = false;
};

[[noreturn]] void UsageError(const std::string& message) {
  std::cerr << "mdm-sim: " << message << "\n" << kUsage;
  std::exit(2);
}

Options ParseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) UsageError(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      std::exit(0);
    } else if (arg == "--certs") {
      const std::string dir = value();
      o.tls.certificate = dir + "/server.pem";
      o.tls.key = dir + "/server-key.pem";
      o.tls.client_ca = dir + "/ca.pem";
    } else if (arg == "--cert") {
      o.tls.certificate = value();
    } else if (arg == "--key") {
      o.tls.key = value();
    } else if (arg == "--client-ca") {
      o.tls.client_ca = value();
    } else if (arg == "--host") {
      o.host = value();
    } else if (arg == "--port") {
      const std::string v = value();
      char* end = nullptr;
      const long port = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0' || port < 0 || port > 65535) UsageError("bad port " + v);
      o.port = static_cast<int>(port);
    } else if (arg == "--port-file") {
      o.port_file = value();
    } else if (arg == "--requests") {
      o.requests = value();
    } else if (arg == "--outcome") {
      Outcome outcome;
      if (velunor::Status parsed = ParseOutcome(value(), &outcome); !parsed.ok()) {
        UsageError(parsed.message());
      }
      o.outcomes.push_back(std::move(outcome));
    } else if (arg == "--control") {
      o.control = value();
    } else if (arg == "--tls-version") {
      const std::string v = value();
      if (v == "1.2") {
        o.tls.version = TLS1_2_VERSION;
      } else if (v == "1.3") {
        o.tls.version = TLS1_3_VERSION;
      } else {
        UsageError("--tls-version takes 1.2 or 1.3");
      }
    } else if (arg == "--quiet") {
      o.quiet = true;
    } else {
      UsageError("unknown option " + arg);
    }
  }
  if (o.tls.certificate.empty() || o.tls.key.empty() || o.tls.client_ca.empty()) {
    UsageError("the server certificate, its key and the client CA are needed (--certs DIR)");
  }
  return o;
}

std::string Join(const std::vector<std::string>& texts) {
  std::string joined;
  for (const std::string& t : texts) joined += (joined.empty() ? "" : ", ") + t;
  return joined;
}

void WritePortFile(const std::string& file, int port) {
  const std::string temp = file + ".part";
  std::ofstream(temp) << port << "\n";
  std::rename(temp.c_str(), file.c_str());
}

// Outcomes typed at the terminal replace the queue; runs until end of input.
void ReadPrompt(OutcomeQueue& queue, SimLog& log) {
  for (std::string line; std::getline(std::cin, line);) {
    if (line.empty()) continue;
    if (line == "help") {
      std::cout << std::string(kUsage).substr(std::string(kUsage).find("outcomes:")) << std::flush;
      continue;
    }
    if (line == "status") {
      log.Line("next answers: " + Join(queue.Pending()));
      continue;
    }
    Outcome outcome;
    if (velunor::Status parsed = ParseOutcome(line, &outcome); !parsed.ok()) {
      log.Line(parsed.message() + " (help lists the outcomes)");
      continue;
    }
    queue.Replace({std::move(outcome)});
    log.Line("next answers: " + Join(queue.Pending()));
  }
}

std::vector<std::pair<std::string, std::string>> RealHeaders(const httplib::Headers& headers) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& [name, value] : headers) {
    // cpp-httplib files the connection's addresses among the headers.
    if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
        name == "LOCAL_PORT") {
      continue;
    }
    out.emplace_back(name, value);
  }
  return out;
}

int Run(const Options& options) {
  SimLog log(options.quiet);

  // Signals are taken by one thread of their own, so none lands in a worker.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  velunor::Status tls = velunor::Status::Error(EPROTO, "TLS set-up failed");
  httplib::SSLServer server([&](SSL_CTX& ctx) {
    tls = SetUpTls(&ctx, options.tls, &log);
    return tls.ok();
  });
  if (!server.is_valid()) {
    std::cerr << "mdm-sim: " << (tls.ok() ? "TLS set-up failed" : tls.message()) << "\n";
    return 1;
  }

  std::error_code ec;
  std::filesystem::create_directories(options.requests, ec);
  if (ec) {
    std::cerr << "mdm-sim: cannot create " << options.requests << ": " << ec.message() << "\n";
    return 1;
  }

  OutcomeQueue queue(options.outcomes);
  RequestStore store(options.requests);
  StopSignal stop;

  server.Post(R"(.*)", [&](const httplib::Request& req, httplib::Response& res) {
    if (!options.control.empty()) {
      std::vector<Outcome> next;
      const velunor::Status taken = TakeControlFile(options.control, &next);
      if (taken.ok()) {
        queue.Replace(std::move(next));
        log.Line("next answers: " + Join(queue.Pending()));
      } else if (taken.code() != ENOENT) {
        log.Line("control file ignored: " + taken.message());
      }
    }
    ReceivedRequest r;
    const Outcome outcome = queue.Next(&r.number);
    r.method = req.method;
    r.target = req.target;
    r.version = req.version;
    r.headers = RealHeaders(req.headers);
    r.body = req.body;
    r.client_subject = ClientSubject(req.ssl);
    r.peer = req.remote_addr + ":" + std::to_string(req.remote_port);
    r.outcome = outcome.text;
    if (velunor::Status saved = store.Save(r); !saved.ok()) {
      log.Line("request not stored: " + saved.message());
    }
    std::string line = "#";
    line += std::to_string(r.number) + " " + r.method + " " + r.target + ", " +
            std::to_string(r.body.size()) + " bytes from " + r.client_subject + " -> " +
            outcome.text;
    log.Line(line);

    if (outcome.delay_seconds > 0 && !stop.Wait(outcome.delay_seconds)) {
      res.status = 503;
      return;
    }
    const Reply reply = MakeReply(outcome);
    res.status = reply.status;
    for (const std::string& location : reply.locations) res.set_header("Location", location);
    res.set_content(reply.body, reply.content_type.c_str());
  });

  const int port = options.port == 0
                       ? server.bind_to_any_port(options.host)
                       : (server.bind_to_port(options.host, options.port) ? options.port : -1);
  if (port <= 0) {
    std::cerr << "mdm-sim: cannot listen on " << options.host << ":" << options.port << "\n";
    return 1;
  }

  std::atomic<bool> finished{false};
  std::thread signal_thread([&] {
    int sig = 0;
    sigwait(&signals, &sig);
    if (finished) return;
    log.Line("stopping");
    stop.Stop();
    // A stop before the server runs would be lost; wait until it does.
    while (!finished) {
      if (server.is_running()) {
        server.stop();
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });

  log.Line("listening on https://" + options.host + ":" + std::to_string(port) + "/ (TLS " +
           (options.tls.version == TLS1_3_VERSION ? "1.3" : "1.2") +
           " only, client certificates of " + FileSubject(options.tls.client_ca) + ")");
  log.Line("requests are stored in " + std::filesystem::absolute(options.requests).string());
  log.Line("next answers: " + Join(queue.Pending()));
  if (isatty(STDIN_FILENO)) {
    log.Line("type an outcome to change the answers; help lists them");
    std::thread([&] { ReadPrompt(queue, log); }).detach();
  }
  if (!options.port_file.empty()) WritePortFile(options.port_file, port);

  const bool ok = server.listen_after_bind();
  finished = true;
  // Wakes the signal thread if the server ended by itself; harmless otherwise.
  pthread_kill(signal_thread.native_handle(), SIGTERM);
  signal_thread.join();
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace mdmsim

int main(int argc, char** argv) {
  const mdmsim::Options options = mdmsim::ParseOptions(argc, argv);
  return mdmsim::Run(options);
}
