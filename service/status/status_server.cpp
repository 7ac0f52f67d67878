#include "service/status/status_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "service/status/status_page.h"
#include "shared/free_with.h"

namespace velunor {

namespace {

using Steady = std::chrono::steady_clock;

// A slow client is cut off after this long without a byte.
constexpr unsigned kIdleSeconds = 5;
// A request's head must fit; bodies are never read.
constexpr size_t kConnectionMemory = 16 * 1024;
// An archive file larger than this is read from the archive directory, not
// the page.
constexpr off_t kMaxStored = 64 * 1024 * 1024;
// For a client that takes no gzip, a file is unpacked up to this size.
constexpr size_t kMaxUnpacked = 2 * 1024 * 1024;
constexpr const char* kAllow = "GET, HEAD";
constexpr const char* kArchivePrefix = "/archive/";

// The page may run its own inline script and fetch from this server only.
constexpr const char* kPolicy =
    "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
    "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string SystemReason(int error_number) { return std::strerror(error_number); }

// True unless the client's Accept-Encoding leaves gzip out or gives it q=0.
// No header at all is taken as "identity only", so that a plain curl gets text.
bool AcceptsGzip(const char* header) {
  if (header == nullptr) return false;
  const std::string value = Lower(header);
  size_t start = 0;
  while (start <= value.size()) {
    size_t end = value.find(',', start);
    if (end == std::string::npos) end = value.size();
    std::string item = value.substr(start, end - start);
    item.erase(std::remove(item.begin(), item.end(), ' '), item.end());
    const std::string coding = item.substr(0, item.find(';'));
    if (coding == "gzip" || coding == "*") {
      const size_t q = item.find(";q=");
      if (q == std::string::npos) return true;
      return std::strtod(item.c_str() + q + 3, nullptr) > 0;
    }
    start = end + 1;
  }
  return false;
}

// The bound address as a Host header names it ("127.0.0.1:8089",
// "[::1]:8089"); "" when it cannot be read.
std::string BoundAddress(int fd, int* port) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return "";
  char text[INET6_ADDRSTRLEN] = "";
  if (address.ss_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
    inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
    *port = ntohs(v4->sin_port);
    return std::string(text) + ":" + std::to_string(*port);
  }
  if (address.ss_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
    inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
    *port = ntohs(v6->sin6_port);
    std::string bracketed = "[";
    bracketed += text;
    bracketed += "]:";
    return bracketed + std::to_string(*port);
  }
  return "";
}

}  // namespace

// The running libmicrohttpd daemon and what it needs: the connections with
// the time each was accepted (for the deadline), and the names the server
// answers to.
struct StatusServer::Daemon {
  struct Tracked {
    int fd = -1;
    Steady::time_point accepted;
    bool cut = false;
  };

  const SnapshotBox* box = nullptr;
  std::filesystem::path archive_dir;
  std::vector<std::string> hosts;  // lower case, with the port

  std::mutex mutex;
  std::condition_variable wake;
  std::map<MHD_Connection*, Tracked> connections;
  bool stopping = false;
  std::thread reaper;
  MHD_Daemon* mhd = nullptr;

  ~Daemon() {
    if (mhd != nullptr) MHD_stop_daemon(mhd);
    {
      std::lock_guard<std::mutex> lock(mutex);
      stopping = true;
    }
    wake.notify_all();
    if (reaper.joinable()) reaper.join();
  }

  // A connection that has outlived its deadline is shut down under the
  // lock: libmicrohttpd reports it closed (and only then closes its socket)
  // through Notify, which takes the same lock, so the number is never
  // someone else's.
  void Reap() {
    std::unique_lock<std::mutex> lock(mutex);
    while (!stopping) {
      wake.wait_for(lock, std::chrono::milliseconds(250));
      const auto limit = Steady::now() - std::chrono::seconds(kDeadlineSeconds);
      for (auto& [connection, tracked] : connections) {
        if (tracked.cut || tracked.accepted > limit) continue;
        shutdown(tracked.fd, SHUT_RDWR);
        tracked.cut = true;
      }
    }
  }

  static MHD_Result Accept(void* self, const sockaddr*, socklen_t) {
    auto* d = static_cast<Daemon*>(self);
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->connections.size() < kMaxConnections ? MHD_YES : MHD_NO;
  }

  static void Notify(void* self, MHD_Connection* connection, void**,
                     MHD_ConnectionNotificationCode code) {
    auto* d = static_cast<Daemon*>(self);
    std::lock_guard<std::mutex> lock(d->mutex);
    if (code == MHD_CONNECTION_NOTIFY_CLOSED) {
      d->connections.erase(connection);
      return;
    }
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    if (info != nullptr) d->connections[connection] = {info->connect_fd, Steady::now(), false};
  }

  static MHD_Result Handle(void* self, MHD_Connection* connection, const char* url,
                           const char* method, const char*, const char*, size_t*, void**) {
    return static_cast<Daemon*>(self)->Answer(connection, url, method);
  }

  MHD_Result Answer(MHD_Connection* connection, const std::string& url, const std::string& method);
  MHD_Result Archive(MHD_Connection* connection, const std::string& name);
};

namespace {

void Common(MHD_Response* response, const char* content_type) {
  MHD_add_response_header(response, "Cache-Control", "no-store");
  MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
  MHD_add_response_header(response, "Content-Security-Policy", kPolicy);
  MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, content_type);
}

MHD_Result Queue(MHD_Connection* connection, unsigned status, MHD_Response* response) {
  const MHD_Result queued = MHD_queue_response(connection, status, response);
  MHD_destroy_response(response);
  return queued;
}

MHD_Result Send(MHD_Connection* connection, unsigned status, const std::string& body,
                const char* content_type,
                const std::vector<std::pair<const char*, const char*>>& headers = {}) {
  MHD_Response* response = MHD_create_response_from_buffer(
      body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
  if (response == nullptr) return MHD_NO;
  Common(response, content_type);
  for (const auto& [name, value] : headers) MHD_add_response_header(response, name, value);
  return Queue(connection, status, response);
}

}  // namespace

MHD_Result StatusServer::Daemon::Answer(MHD_Connection* connection, const std::string& url,
                                        const std::string& method) {
  // Only a request that names this server: a page of another name that a
  // browser was made to send here (DNS rebinding) learns nothing.
  const char* host = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Host");
  if (host == nullptr || std::find(hosts.begin(), hosts.end(), Lower(host)) == hosts.end()) {
    return Send(connection, 421, "Falscher Host\n", "text/plain; charset=utf-8",
                {{"Connection", "close"}});
  }
  // Answered before anything of a body is read; the connection is closed.
  if (method != "GET" && method != "HEAD") {
    return Send(connection, 405, "Nur GET und HEAD\n", "text/plain; charset=utf-8",
                {{"Allow", kAllow}, {"Connection", "close"}});
  }
  if (url == "/") {
    return Send(connection, 200, StatusPage(*box->Current()), "text/html; charset=utf-8");
  }
  if (url == "/status.part") {
    return Send(connection, 200, StatusPart(*box->Current()), "text/html; charset=utf-8");
  }
  if (url == "/status.json") {
    return Send(connection, 200, StatusJson(*box->Current()), "application/json");
  }
  if (url == "/health") {
    const auto snapshot = box->Current();
    return Send(connection, static_cast<unsigned>(HealthStatus(*snapshot)), HealthJson(*snapshot),
                "application/json");
  }
  if (url == "/metrics") {
    return Send(connection, 200, box->Current()->metrics,
                "text/plain; version=0.0.4; charset=utf-8");
  }
  if (url.rfind(kArchivePrefix, 0) == 0) {
    return Archive(connection, url.substr(std::strlen(kArchivePrefix)));
  }
  return Send(connection, 404, "404\n", "text/plain");
}

// The file as stored, gzip, for any client that takes gzip (every browser):
// nothing is unpacked or packed again on the server. Others get the text
// when it is small.
MHD_Result StatusServer::Daemon::Archive(MHD_Connection* connection, const std::string& name) {
  const auto missing = [&] {
    return Send(connection, 404, "Keine solche Übertragung im Archiv\n",
                "text/plain; charset=utf-8");
  };
  int fd = -1;
  if (!TransmissionArchive::Open(archive_dir, name, &fd).ok()) return missing();
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return missing();
  }
  if (st.st_size > kMaxStored) {
    close(fd);
    return Send(connection, 403,
                "Zu groß für die Statusseite: die Datei im Archivverzeichnis mit zcat lesen\n",
                "text/plain; charset=utf-8");
  }
  const std::pair<const char*, const char*> vary{"Vary", "Accept-Encoding"};
  if (AcceptsGzip(MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Accept-Encoding"))) {
    // Owns the file from here on and closes it when sent.
    MHD_Response* response = MHD_create_response_from_fd(static_cast<uint64_t>(st.st_size), fd);
    if (response == nullptr) {
      close(fd);
      return MHD_NO;
    }
    Common(response, "text/plain; charset=utf-8");
    MHD_add_response_header(response, "Content-Encoding", "gzip");
    MHD_add_response_header(response, vary.first, vary.second);
    return Queue(connection, 200, response);
  }
  // The file checked above, not one a name could lead to meanwhile.
  std::string text;
  const Status read = TransmissionArchive::ReadOpened(fd, kMaxUnpacked, &text);
  close(fd);
  if (!read.ok()) {
    return Send(connection, 406,
                "Nur gzip-komprimiert abrufbar (Accept-Encoding: gzip), oder die Datei im "
                "Archivverzeichnis mit zcat lesen\n",
                "text/plain; charset=utf-8", {vary});
  }
  return Send(connection, 200, text, "text/plain; charset=utf-8", {vary});
}

std::optional<StatusAddress> ParseStatusAddress(const std::string& text) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return std::nullopt;
  StatusAddress address{text, text.substr(0, colon), 0};
  std::string& host = address.host;
  if (host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return std::nullopt;
    host = host.substr(1, host.size() - 2);
  } else if (host.find(':') != std::string::npos) {
    return std::nullopt;  // an IPv6 address needs its brackets
  }
  const std::string digits = text.substr(colon + 1);
  if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  address.port = std::stoi(digits);
  if (address.port > 65535) return std::nullopt;
  return address;
}

StatusServer::StatusServer(const SnapshotBox& box, std::filesystem::path archive_dir)
    : box_(box), archive_dir_(std::move(archive_dir)) {}

StatusServer::~StatusServer() { Stop(); }

std::string StatusServer::Start(const StatusAddress& address) {
  const std::string& host = address.host;
  const int port = address.port;
  const std::string cannot = "Statusseite: " + address.text + " kann nicht belegt werden";
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const int resolved = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (resolved != 0) return cannot + " (" + gai_strerror(resolved) + ")";
  std::unique_ptr<addrinfo, FreeWith<freeaddrinfo>> owned(found);
  const int fd = socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
  if (fd < 0) return cannot + " (" + SystemReason(errno) + ")";
  // Lets a restart bind while the last run's connections linger; a port
  // that another socket listens on stays refused.
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (bind(fd, found->ai_addr, found->ai_addrlen) != 0 || listen(fd, SOMAXCONN) != 0) {
    const int error_number = errno;
    close(fd);
    return cannot + " (" + SystemReason(error_number) + ")";
  }
  return Serve(fd, port == 0 ? "" : address.text);
}

std::string StatusServer::Adopt(int listening_socket, const std::string& address) {
  return Serve(listening_socket, address);
}

std::string StatusServer::Serve(int listening_socket, const std::string& address) {
  Stop();
  int port = 0;
  const std::string bound = BoundAddress(listening_socket, &port);
  if (bound.empty()) {
    close(listening_socket);
    return "Statusseite: der übergebene Socket ist kein TCP-Socket";
  }
  fcntl(listening_socket, F_SETFL, fcntl(listening_socket, F_GETFL) | O_NONBLOCK);
  auto d = std::make_unique<Daemon>();
  d->box = &box_;
  d->archive_dir = archive_dir_;
  d->hosts = {Lower(bound), "localhost:" + std::to_string(port)};
  if (!address.empty()) d->hosts.push_back(Lower(address));
  d->mhd = MHD_start_daemon(
      MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_ITC, 0, &Daemon::Accept, d.get(),
      &Daemon::Handle, d.get(), MHD_OPTION_LISTEN_SOCKET, listening_socket,
      // A little above the server's own bound, which Accept enforces by
      // closing at once; at its own limit libmicrohttpd would stop accepting
      // and leave the queue to grow.
      MHD_OPTION_CONNECTION_LIMIT, kMaxConnections + 4, MHD_OPTION_CONNECTION_TIMEOUT, kIdleSeconds,
      MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemory, MHD_OPTION_NOTIFY_CONNECTION,
      &Daemon::Notify, d.get(), MHD_OPTION_END);
  if (d->mhd == nullptr) {
    close(listening_socket);
    return "Statusseite: " + bound + " kann nicht bedient werden";
  }
  Daemon* daemon = d.get();
  d->reaper = std::thread([daemon] { daemon->Reap(); });
  daemon_ = std::move(d);
  port_ = port;
  bound_ = bound;
  return "";
}

void StatusServer::Stop() { daemon_.reset(); }

}  // namespace velunor
