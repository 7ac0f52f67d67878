// The status server of a running service: the whole service in the test
// process over the private MariaDB and the endpoint simulator, its status
// server on a free port, read over HTTP as a monitor, a browser and an
// operator would. Each case compares what is served with what the service
// did: the transfer log, the window model, the simulator's requests.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "service/db/db_hand_ins.h"
#include "service/db/preisdaten.h"
#include "service/db/price_plausibility.h"
#include "service/status/status_page.h"
#include "service/status/status_server.h"
#include "service/status/transmission_archive.h"
#include "shared/output_line.h"
#include "tests/expect_text.h"
#include "tests/status_rig.h"

namespace velunor {
namespace {

using nlohmann::json;
using testing::Get;
using testing::Loopback;
using testing::ServiceRig;
using StatusTest = testing::StatusRigTest;

constexpr const char* kCounter = "velunor_transmissions_total";

// The metrics as "name{labels}" -> value; a line that is not Prometheus
// text format fails the test.
std::map<std::string, double> ParseMetrics(const std::string& text) {
  static const std::regex kSample(
      R"(([a-zA-Z_:][a-zA-Z0-9_:]*(\{[^}]*\})?) ([-+0-9.eE]+|\+Inf|NaN))");
  static const std::regex kComment(R"(# (HELP|TYPE) [a-zA-Z_:][a-zA-Z0-9_:]* .*)");
  std::map<std::string, double> samples;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    const std::string line = text.substr(start, end - start);
    start = end == std::string::npos ? text.size() : end + 1;
    if (line.empty()) continue;
    std::smatch m;
    if (std::regex_match(line, m, kSample)) {
      samples[m[1]] = std::stod(m[3]);
    } else {
      EXPECT_TRUE(std::regex_match(line, kComment)) << "not Prometheus text: " << line;
    }
  }
  return samples;
}

// The status server's metrics on `port`; none when it does not answer.
std::map<std::string, double> Metrics(int port) {
  auto answer = Get(port, "/metrics");
  return answer ? ParseMetrics(answer->body) : std::map<std::string, double>{};
}

// /health on `port`: status 0 and no body when it does not answer.
struct Health {
  int status = 0;
  json body;
};
Health ReadHealth(int port) {
  auto r = Get(port, "/health");
  if (!r) return {};
  return {r->status, json::parse(r->body)};
}
Health ReadHealth(ServiceRig& rig) { return ReadHealth(rig.service().status_port()); }
// /health on the port or of the rig, after checking its status and state.
template <class Server>
Health ExpectHealth(Server& server, int status, const std::string& state) {
  Health h = ReadHealth(server);
  EXPECT_EQ(h.status, status) << h.body;
  EXPECT_EQ(h.body["state"], state) << h.body;
  return h;
}

std::string Counter(const std::string& kind, const std::string& outcome) {
  return std::string(kCounter) + "{kind=\"" + kind + "\",outcome=\"" + outcome + "\"}";
}

// The request part of an archived file's content.
std::string ArchivedRequest(const std::string& content) {
  const std::string head = "\nAnfrage: ";
  const size_t at = content.find(head);
  if (at == std::string::npos) return "<no request>";
  const size_t line_end = content.find('\n', at + 1);
  const size_t bytes = std::stoul(content.substr(at + head.size()));
  return content.substr(line_end + 1, bytes);
}

TEST_F(StatusTest, HealthMetricsPictureAndArchiveFollowTheRun) {
  auto rig = StartedRig();
  PriceChange(*rig, "1.689");
  const int port = rig->service().status_port();
  const MasterData& m = rig->state().db.stammdaten;

  // /health: ok, with the numbers the MTS-K acknowledged.
  Health h = ExpectHealth(port, 200, "ok");
  EXPECT_EQ(h.body["last_price_publication"]["number"], m.PricePublicationNumber);
  EXPECT_EQ(h.body["last_station_publication"]["number"], m.StationPublicationNumber);

  // /metrics: Prometheus text, counters as the transfer log counts them.
  auto metrics_answer = Get(port, "/metrics");
  ASSERT_TRUE(metrics_answer);
  EXPECT_TRUE(
      Contains(metrics_answer->get_header_value("Content-Type"), "text/plain; version=0.0.4"));
  auto metrics = ParseMetrics(metrics_answer->body);
  EXPECT_EQ(metrics[Counter("price", "acknowledged")],
            rig->TransferLogCount(*sql_, kTransferPricesOk));
  EXPECT_EQ(metrics[Counter("station", "acknowledged")],
            rig->TransferLogCount(*sql_, kTransferStationsOk));
  EXPECT_EQ(metrics[Counter("price", "acknowledged")], 2);
  EXPECT_EQ(metrics[Counter("price", "refused")], 0);
  EXPECT_EQ(metrics["velunor_compliance_alarm"], 0);
  const std::string reported =
      testing::QueryRows(*sql_, "select count(*) from mts_petrolstation where status <> 0");
  EXPECT_EQ(metrics["velunor_stations_reported"], std::stoi(reported));
  EXPECT_EQ(metrics["velunor_price_chain_step_duration_seconds_count{state=\"2\"}"], 2);

  // /status.json: the window model as it stands.
  auto picture = Get(port, "/status.json");
  ASSERT_TRUE(picture);
  json s = json::parse(picture->body);
  const WindowModel& w = rig->model();
  EXPECT_EQ(s["status_line"], w.info());
  EXPECT_EQ(s["caption"], w.caption());
  EXPECT_EQ(s["frame1"], w.frame1());
  EXPECT_EQ(s["communication"], w.list1());
  for (int i = 0; i < 8; ++i) EXPECT_EQ(s["labels"][i], w.label1(i)) << i;
  ASSERT_EQ(s["grid"].size(), static_cast<size_t>(w.grid_rows()));
  for (int row = 0; row < w.grid_rows(); ++row) {
    for (int column = 0; column < WindowModel::kGridColumns; ++column) {
      EXPECT_EQ(s["grid"][row][column], w.cell(row, column)) << row << "/" << column;
    }
  }

  // The archive: exactly the simulator's requests, in their order.
  const json& archive = s["archive"];
  ASSERT_EQ(archive.size(), static_cast<size_t>(rig->sim().RequestCount()));
  for (size_t i = 0; i < archive.size(); ++i) {
    const std::string name = archive[archive.size() - 1 - i]["name"];
    std::string content;
    ASSERT_TRUE(TransmissionArchive::Read(rig->program_dir() / "archive", name, &content).ok())
        << name;
    EXPECT_EQ(ArchivedRequest(content), rig->sim().RequestBody(static_cast<int>(i) + 1)) << name;
    EXPECT_TRUE(Contains(name, "-acknowledged"));
    auto page = Get(port, "/archive/" + name);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_TRUE(Contains(page->body, "d2LogicalModel"));
  }
  EXPECT_EQ(Get(port, "/archive/..%2FSTATION.INI")->status, 404);
  EXPECT_EQ(Get(port, "/archive/STATION.INI")->status, 404);

  // Only GET and HEAD.
  httplib::Client client("127.0.0.1", port);
  const httplib::Result others[] = {client.Post("/", "x", "text/plain"), client.Post("/health"),
                                    client.Delete("/status.json"),
                                    client.Put("/metrics", "", "text/plain")};
  for (const httplib::Result& answer : others) {
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 405);
    EXPECT_EQ(answer->get_header_value("Allow"), "GET, HEAD");
  }
  auto head = client.Head("/health");
  ASSERT_TRUE(head);
  EXPECT_EQ(head->status, 200);
  EXPECT_TRUE(head->body.empty());

  // Refused long enough for the alarm: 503, and the refusals counted.
  rig->sim().SetOutcomes({"refuse:Preisangabe ungültig"});
  for (int minute = 0; minute < 6; ++minute) {
    rig->clock().Advance(60);
    PriceChange(*rig, "1.6" + std::to_string(minute) + "9");
  }
  ASSERT_FALSE(w.alarm().empty());
  h = ExpectHealth(port, 503, "alarm");
  EXPECT_EQ(h.body["alarm"], w.alarm());
  EXPECT_EQ(h.body["last_failure"]["kind"], "price-transmission");
  EXPECT_TRUE(Contains(h.body["last_failure"]["text"].get<std::string>(), "Preisangabe ungültig"));
  metrics = Metrics(port);
  EXPECT_EQ(metrics["velunor_compliance_alarm"], 1);
  EXPECT_EQ(metrics[Counter("price", "refused")],
            rig->TransferLogCount(*sql_, kTransferPricesFailed));
  EXPECT_EQ(metrics[Counter("price", "refused")], 6);

  // Acknowledged again: ok.
  rig->sim().SetOutcomes({"ack"});
  PriceChange(*rig, "1.599");
  EXPECT_EQ(ReadHealth(port).status, 200);
}

// Clients that connect and never finish their request, and clients that ask
// as fast as they can (the server's threads are shared between them): the
// ticks go on at their own pace.
TEST_F(StatusTest, SlowAndBusyClientsDoNotDelayTicks) {
  auto rig = StartedRig();
  const int port = rig->service().status_port();
  // Five price exports alone, as the yardstick (a sanitizer build is slower).
  const auto exports = [&](int first) {
    const auto started = std::chrono::steady_clock::now();
    for (int i = first; i < first + 5; ++i) PriceChange(*rig, "1.7" + std::to_string(i) + "9");
    return std::chrono::steady_clock::now() - started;
  };
  const auto alone = exports(0);

  std::vector<int> slow;
  for (int i = 0; i < 2; ++i) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(port);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string partial = "GET /status.json HTTP/1.1\r\nHost: x\r\n";
    ASSERT_EQ(write(fd, partial.data(), partial.size()), static_cast<ssize_t>(partial.size()));
    slow.push_back(fd);
  }
  std::atomic<bool> stop{false};
  std::vector<std::thread> busy;
  for (int i = 0; i < 2; ++i) {
    busy.emplace_back([&] {
      httplib::Client client("127.0.0.1", port);
      client.set_connection_timeout(1, 0);
      while (!stop) {
        client.Get("/status.json");
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    });
  }

  const auto besieged = exports(5);
  stop = true;
  for (std::thread& t : busy) t.join();
  for (int fd : slow) close(fd);
  EXPECT_LT(besieged, 2 * alone + std::chrono::seconds(1))
      << "five price exports took " << std::chrono::duration<double>(alone).count()
      << " s alone and " << std::chrono::duration<double>(besieged).count()
      << " s with the server under siege";

  auto picture = Get(port, "/status.json");
  ASSERT_TRUE(picture);
  EXPECT_EQ(json::parse(picture->body)["last_price_publication"]["number"],
            rig->state().db.stammdaten.PricePublicationNumber);
}

// A client that sends its request a byte a second, never idle long enough
// for the idle time-out, still holds its connection only until the deadline.
TEST_F(StatusTest, ADripFeedingClientIsCutOffAtTheDeadline) {
  auto rig = StartedRig();
  const int port = rig->service().status_port();
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(port);
  ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const std::string request = "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                              "\r\nX-Drip: " + std::string(200, 'a');
  const auto started = std::chrono::steady_clock::now();
  const auto limit = std::chrono::seconds(StatusServer::kDeadlineSeconds + 10);
  bool cut = false;
  for (size_t i = 0; i < request.size() && !cut; ++i) {
    if (std::chrono::steady_clock::now() - started > limit) break;
    char byte = 0;
    cut = send(fd, &request[i], 1, MSG_NOSIGNAL) != 1 || recv(fd, &byte, 1, MSG_DONTWAIT) == 0;
    std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  close(fd);
  const auto held = std::chrono::steady_clock::now() - started;
  EXPECT_TRUE(cut) << "still connected after " << std::chrono::duration<double>(held).count()
                   << " s";
  EXPECT_GE(held, std::chrono::seconds(StatusServer::kDeadlineSeconds - 1));
}

// Only requests that name this server get an answer (a page of another
// name that a browser was made to send here learns nothing), and an
// archive file goes out as it is stored.
TEST_F(StatusTest, ForeignHostsGetNothingAndArchiveFilesGoAsStored) {
  auto rig = StartedRig();
  const int port = rig->service().status_port();
  const std::string own = ":" + std::to_string(port);
  httplib::Client client("127.0.0.1", port);
  client.set_decompress(false);
  for (const std::string& host : {std::string("evil.example"), "evil.example" + own,
                                  "127.0.0.2" + own, std::string("127.0.0.1:1")}) {
    for (const char* path : {"/", "/status.json", "/health", "/metrics"}) {
      auto answer = client.Get(path, {{"Host", host}});
      ASSERT_TRUE(answer) << host << path;
      EXPECT_EQ(answer->status, 421) << host << path;
      EXPECT_FALSE(Contains(answer->body, "velunor")) << host << path;
      EXPECT_FALSE(Contains(answer->body, "state")) << host << path;
    }
  }
  auto local = client.Get("/health", {{"Host", "LocalHost" + own}});
  ASSERT_TRUE(local);
  EXPECT_EQ(local->status, 200);

  const std::string name = rig->service().operations().box().Current()->archive.front().name;
  const std::string stored = testing::ReadFile(rig->program_dir() / "archive" / name);
  auto gzipped = client.Get("/archive/" + name, {{"Accept-Encoding", "gzip, deflate"}});
  ASSERT_TRUE(gzipped);
  EXPECT_EQ(gzipped->status, 200);
  EXPECT_EQ(gzipped->get_header_value("Content-Encoding"), "gzip");
  EXPECT_EQ(gzipped->body, stored) << "the file as stored";
  auto plain = client.Get("/archive/" + name, {{"Accept-Encoding", "identity"}});
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->status, 200);
  EXPECT_FALSE(plain->has_header("Content-Encoding"));
  std::string text;
  ASSERT_TRUE(TransmissionArchive::Read(rig->program_dir() / "archive", name, &text).ok());
  EXPECT_EQ(plain->body, text);
}

// A port that is taken when the service starts: the service reports without
// the page, says why, and takes the port within a minute of its release.
TEST_F(StatusTest, ATakenPortIsTriedAgainEveryMinute) {
  // Not inherited by the simulator the rig starts, so closing it frees the port.
  const int holder = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
  ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(holder, 8), 0);
  socklen_t length = sizeof address;
  getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);
  const int port = ntohs(address.sin_port);

  auto rig = RigTest::StartedRig({.status_address = "127.0.0.1:" + std::to_string(port)});
  EXPECT_EQ(rig->service().status_port(), 0);
  const std::string log = testing::Joined(rig->ErrorLines());
  EXPECT_TRUE(Contains(log, "127.0.0.1:" + std::to_string(port) + " kann nicht belegt werden"));
  ASSERT_FALSE(rig->front_end().notices.empty());
  EXPECT_TRUE(Contains(rig->front_end().notices.front(), "kann nicht belegt werden"));

  close(holder);
  rig->clock().Advance(30);
  rig->Tick();
  EXPECT_EQ(rig->service().status_port(), 0) << "not before the minute is up";
  rig->clock().Advance(31);
  rig->Tick();
  ASSERT_EQ(rig->service().status_port(), port) << testing::Joined(rig->ErrorLines());
  rig->Tick();
  EXPECT_EQ(ReadHealth(port).body["last_price_publication"]["number"],
            rig->state().db.stammdaten.PricePublicationNumber);
}

// Seconds on the service's clock (which the database's follows), a tick each.
void RunFor(ServiceRig& rig, int seconds) {
  for (int i = 0; i < seconds; ++i) {
    rig.clock().Advance(1);
    rig.Tick();
  }
}

// A service restarted every two minutes while the MTS-K refuses every
// publication: one refused cycle is "degraded" (no page), the alarm comes
// five minutes after the first start and a restart does not reset it; once
// a publication is acknowledged a restart shows it.
TEST_F(StatusTest, TheFiveMinutesRunAcrossRestartsAndHealthSaysWhatFailed) {
  ServiceRig::Options options = WithStatus();
  options.outcomes = {"refuse:Preisangabe ungültig"};
  options.database_follows_clock = true;
  ServiceRig rig(options);
  ASSERT_TRUE(rig.Start());
  RunFor(rig, 20);
  Health h = ExpectHealth(rig, 200, "degraded");
  ASSERT_FALSE(h.body["problems"].empty());
  EXPECT_TRUE(h.body["problems"][0].get<std::string>().starts_with(
      "Letzte Stationsdaten-Übertragung abgelehnt am "))
      << h.body;

  RunFor(rig, 100);
  ASSERT_TRUE(rig.Restart());
  RunFor(rig, 120);
  ASSERT_TRUE(rig.Restart());
  RunFor(rig, 50);  // 290 s since the first start
  EXPECT_EQ(ReadHealth(rig).body["state"], "degraded");
  RunFor(rig, 20);
  h = ExpectHealth(rig, 503, "alarm");  // five minutes after the first start
  EXPECT_TRUE(h.body["alarm"].get<std::string>().starts_with("ALARM: Seit 06.12.2026 09:05:00 "))
      << h.body;

  ASSERT_TRUE(rig.Restart());
  RunFor(rig, 1);
  EXPECT_EQ(ReadHealth(rig).body["state"], "alarm") << "a restart does not reset the clock";
  EXPECT_TRUE(rig.window().scheduler().compliance().price_alarm());
  RunFor(rig, 20);
  EXPECT_TRUE(Contains(ReadHealth(rig).body["problems"].dump(), "Übertragung abgelehnt"));

  rig.sim().SetOutcomes({"ack"});
  for (int i = 0; i < 400 && rig.window().scheduler().compliance().price_alarm(); ++i)
    RunFor(rig, 1);
  ASSERT_FALSE(rig.window().scheduler().compliance().price_alarm());
  EXPECT_FALSE(Contains(ReadHealth(rig).body["problems"].dump(), "Übertragung"))
      << "acknowledged, the refusals are no problem any more";
  const std::string number = rig.state().db.stammdaten.PricePublicationNumber;
  const std::string acknowledged = rig.model().label1(5);
  ASSERT_TRUE(rig.Restart());
  RunFor(rig, 1);
  h = ReadHealth(rig);
  EXPECT_EQ(h.body["state"], "ok") << h.body;
  EXPECT_EQ(h.body["last_price_publication"]["number"], number);
  EXPECT_EQ(h.body["last_price_publication"]["time"], acknowledged);
  EXPECT_EQ(rig.model().label1(5), acknowledged) << "the window shows it too";
  EXPECT_EQ(rig.model().label1(3), "P-" + number + " am: " + acknowledged);
}

// Without a usable client certificate nothing can be reported: the start
// says so and the state is an alarm; once one is there, a transmission that
// fails on something else looks at it again.
TEST_F(StatusTest, AStartWithoutAClientCertificateIsAnAlarm) {
  ServiceRig rig(WithStatus());
  const std::filesystem::path my = rig.certs().store / "MY";
  const std::filesystem::path kept = rig.program_dir() / "MY.kept";
  std::filesystem::rename(my, kept);
  std::filesystem::create_directory(my);
  ASSERT_TRUE(rig.Start());
  const std::string said = "Kein verwendbares Client-Zertifikat \"" + rig.certs().client_subject +
                           "\" (Velunor.CFG) mit privatem Schlüssel im Speicher \"MY\"";
  ASSERT_EQ(rig.front_end().notices.size(), 1u);
  EXPECT_EQ(rig.front_end().notices[0].rfind(said, 0), 0u) << rig.front_end().notices[0];
  EXPECT_TRUE(Contains(testing::Joined(rig.ErrorLines()), EscapeLine(said)));
  RunFor(rig, 1);
  ExpectHealth(rig, 503, "alarm");

  std::filesystem::remove(my);
  std::filesystem::rename(kept, my);
  rig.sim().SetOutcomes({"refuse:Preisangabe ungültig"});
  rig.RunFirstExports();
  EXPECT_EQ(ReadHealth(rig).body["state"], "degraded") << "the certificate is there again";
}

// A second instance on the same database stands by: /health says so with
// 200, the page shows who reports, the metrics tell active from standby, and
// however long it waits no compliance alarm is its own.
TEST_F(StatusTest, AStandbyIsHealthyShowsWhoReportsAndRaisesNoAlarm) {
  auto active = StartedRig();
  ServiceRig standby_rig(WithStatus());
  ASSERT_TRUE(standby_rig.Start());
  standby_rig.Tick(3);
  auto picture = Get(standby_rig.service().status_port(), "/status.json");
  ASSERT_TRUE(picture);
  const std::string line = json::parse(picture->body)["status_line"];
  EXPECT_TRUE(Contains(line, " Bereitschaft: aktiver Dienst ist " +
                                 active->service().instance_name() + " (seit 06.12.2026 09:0"));
  // Ten minutes without a price acknowledgement of its own.
  for (int i = 0; i < 10; ++i) {
    standby_rig.clock().Advance(60);
    standby_rig.Tick();
  }
  active->Tick();

  EXPECT_EQ(ExpectHealth(standby_rig, 200, "standby").body["alarm"], "");
  auto page = Get(standby_rig.service().status_port(), "/");
  ASSERT_TRUE(page);
  EXPECT_TRUE(Contains(page->body, "Bereitschaft"));
  EXPECT_EQ(Metrics(standby_rig.service().status_port())["velunor_active"], 0);
  EXPECT_EQ(Metrics(active->service().status_port())["velunor_active"], 1);
  EXPECT_EQ(ReadHealth(*active).body["state"], "ok");
  EXPECT_EQ(standby_rig.sim().RequestCount(), 0) << "the standby sent nothing";
}

// A mistyped price upstream: reported as it stands, and said loudly until
// the corrected price comes; a price within the rule shows nothing.
TEST_F(StatusTest, AnUnusualPriceIsReportedAndWarnedOfUntilThePlausibleOneFollows) {
  auto rig = StartedRig();
  const int port = rig->service().status_port();
  const auto diesel = [&](const std::string& price, int minute) {
    testing::SetUpstreamPrice(*sql_, 1, 3, price,
                              "2026-12-06 10:0" + std::to_string(minute) + ":00");
    rig->RunPriceExport();
    return testing::ParseReceived(rig->LastRequest()).Price("id-0001", "Diesel");
  };
  const auto warnings = [&] {
    return Metrics(port)["velunor_price_plausibility_warnings_total{fuel=\"diesel\"}"];
  };

  EXPECT_EQ(diesel("1.689", 1), "1.689");  // 0.100 from the stored 1.589
  EXPECT_EQ(ReadHealth(port).body["state"], "ok");
  EXPECT_EQ(rig->model().warning(), "");
  EXPECT_EQ(warnings(), 0);

  // Taken in twice before it is stored: judged once, not once a read.
  testing::SetUpstreamPrice(*sql_, 1, 3, "0.169", "2026-12-06 10:02:00");
  DB_Get_MTS_StationsPreise(rig->state().db);
  EXPECT_EQ(diesel("0.169", 2), "0.169");
  const std::string text =
      "Preis Diesel 0.169 an Station 1 (Tankstelle Müller) ungewöhnlich: 1.520 € unter dem "
      "letzten Preis 1.689; gemeldet";
  EXPECT_EQ(ExpectHealth(port, 200, "degraded").body["problems"], json::array({text}));
  EXPECT_EQ(rig->model().warning(), text);
  EXPECT_TRUE(Contains(Get(port, "/")->body, "<div id=\"warning\">" + HtmlEscape(text) + "</div>"));
  EXPECT_EQ(warnings(), 1);
  const auto logged = [&] { return testing::LinesWith(rig->ErrorLines(), text); };
  EXPECT_EQ(logged(), 1u);
  rig->RunPriceExport();  // read again once stored: the same price, no new warning
  EXPECT_EQ(logged(), 1u);

  // The correction is measured from the price before the slip, not from it.
  EXPECT_EQ(diesel("1.699", 3), "1.699");
  EXPECT_EQ(ReadHealth(port).body["state"], "ok");
  EXPECT_EQ(rig->model().warning(), "");
  EXPECT_EQ(warnings(), 1);

  // Up by as much: warned of too, and a day later no longer.
  EXPECT_EQ(diesel("3.600", 4), "3.600");
  EXPECT_TRUE(
      Contains(rig->model().warning(), "ungewöhnlich: 1.901 € über dem letzten Preis 1.699"));
  rig->clock().Advance(kPriceWarningSeconds + 60);
  rig->RunPriceExport();
  EXPECT_EQ(rig->model().warning(), "");
  EXPECT_EQ(warnings(), 2);
}

}  // namespace
}  // namespace velunor
