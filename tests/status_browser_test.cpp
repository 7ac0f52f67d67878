// The status page in a real browser (Debian's chromium, headless): what it
// shows on the first paint and after a refresh is what the window shows.
#include <httplib.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "service/common/window_texts.h"
#include "tests/expect_text.h"
#include "tests/status_rig.h"

namespace velunor {
namespace {

using testing::Get;
using testing::ServiceRig;
using StatusTest = testing::StatusRigTest;

// The page's DOM as chromium serialises it: what the element with `id`
// holds (no such element holds one of its own tag), and the text
// of some markup as the DOM holds it.
std::string Inside(const std::string& dom, const std::string& id) {
  std::smatch m;
  if (!std::regex_search(dom, m, std::regex("<([a-z0-9]+)[^>]* id=\"" + id + "\"[^>]*>"))) {
    return "(no #" + id + ")";
  }
  const size_t start = static_cast<size_t>(m.position(0) + m.length(0));
  return dom.substr(start, dom.find("</" + m[1].str() + ">", start) - start);
}

std::string Text(const std::string& markup) {
  std::string text = std::regex_replace(markup, std::regex("<[^>]*>"), "");
  static const char* const kEntities[][2] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&nbsp;", "\xc2\xa0"}, {"&amp;", "&"}};
  for (const auto& [from, to] : kEntities) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + 1)) {
      text.replace(at, std::strlen(from), to);
    }
  }
  return text;
}

// Every td, th and li within `markup` as "ROW TAG.CLASS TEXT", rows counted by </tr>.
std::vector<std::string> Cells(const std::string& markup) {
  static const std::regex kCell(R"re(<(td|th|li)(?: class="([^"]*)")?>([\s\S]*?)</\1>|</tr>)re");
  std::vector<std::string> cells;
  int row = 0;
  for (std::sregex_iterator i(markup.begin(), markup.end(), kCell), end; i != end; ++i) {
    if ((*i)[0] == "</tr>") {
      ++row;
    } else {
      cells.push_back(std::to_string(row) + " " + (*i)[1].str() + "." + (*i)[2].str() + " " +
                      Text((*i)[3]));
    }
  }
  return cells;
}

// The page shows the window: every text, every label with its colour, every
// line of the list and every cell of the grid.
void ExpectPageShowsWindow(const std::string& dom, const WindowModel& w) {
  const auto shown = [&](const std::string& id) { return Text(Inside(dom, id)); };
  EXPECT_EQ(shown("caption"), w.caption());
  EXPECT_EQ(shown("info"), w.info());
  EXPECT_EQ(shown("alarm"), w.alarm());
  EXPECT_EQ(shown("warning"), w.warning());
  EXPECT_EQ(shown("frame1"), VisibleCaption(w.frame1()));
  EXPECT_EQ(shown("version"), w.text("version"));
  EXPECT_EQ(shown("clock"), w.text("clock"));
  std::vector<std::string> expected;
  for (const std::string& line : w.list1()) expected.push_back("0 li. " + line);
  EXPECT_EQ(Cells(Inside(dom, "communication")), expected);
  expected.clear();
  for (size_t row = 0; row < kVersionLabelRows.size(); ++row) {
    for (int i : kVersionLabelRows[row]) {
      const LabelKind kind = w.label1_kind(i);
      expected.push_back(std::to_string(row) + " td." +
                         (kind == LabelKind::kSet ? "" : LabelKindName(kind)) + " " + w.label1(i));
    }
  }
  EXPECT_EQ(Cells(Inside(dom, "versions")), expected);
  expected.clear();
  for (int row = 0; row < w.grid_rows(); ++row) {
    for (int column = 0; column < WindowModel::kGridColumns; ++column) {
      expected.push_back(std::to_string(row) + (row == 0 ? " th. " : " td. ") +
                         w.cell(row, column));
    }
  }
  EXPECT_EQ(Cells(Inside(dom, "grid")), expected);
}

// The page in a real browser: Debian's chromium, headless, loads it from the
// running service; once as first painted, once after its script renewed it
// from the service, whose window changed in between.
TEST_F(StatusTest, ChromiumRendersThePageAndItsRefresh) {
  if (std::system("command -v chromium >/dev/null 2>&1") != 0) {
    FAIL() << "chromium is not installed (scripts/deps installs it)";
  }
  auto rig = StartedRig();
  const int port = rig->service().status_port();
  const auto browse = [&](int at, const std::string& flags) {
    return testing::RunCommand(
        "chromium --headless --no-sandbox --disable-gpu --disable-dev-shm-usage "
        "--no-first-run --user-data-dir=" +
        (rig->program_dir().parent_path() / "browser").string() + " " + flags +
        " --dump-dom http://127.0.0.1:" + std::to_string(at) + "/");
  };
  // A second of the page's time: before its first refresh.
  const testing::CommandResult first = browse(port, "--virtual-time-budget=1000");
  ASSERT_EQ(first.status, 0) << first.output;
  {
    SCOPED_TRACE("first paint");
    ExpectPageShowsWindow(first.output, rig->model());
  }

  // Between the browser and the service: the page's first refresh waits
  // until the window has changed, so that the refresh has something to show.
  std::promise<void> refresh_asked;
  std::promise<void> window_changed;
  std::shared_future<void> changed = window_changed.get_future().share();
  // The second refresh finds the service gone.
  std::atomic<int> refreshes{0};
  httplib::Server proxy;
  proxy.Get(".*", [&](const httplib::Request& request, httplib::Response& response) {
    const int refresh = request.path == "/status.part" ? ++refreshes : 0;
    if (refresh == 1) {
      refresh_asked.set_value();
      changed.wait_for(std::chrono::seconds(60));
    }
    if (refresh == 2) {
      response.status = 503;
      return;
    }
    auto answer = Get(port, request.path);
    if (!answer) return;
    response.status = answer->status;
    // Under the page's own policy, which its script has to live with.
    response.set_header("Content-Security-Policy",
                        answer->get_header_value("Content-Security-Policy"));
    response.set_content(answer->body, answer->get_header_value("Content-Type"));
  });
  const int proxy_port = proxy.bind_to_any_port("127.0.0.1");
  std::thread serving([&] { proxy.listen_after_bind(); });
  auto browsing = std::async(std::launch::async,
                             [&] { return browse(proxy_port, "--virtual-time-budget=5000"); });
  const bool asked =
      refresh_asked.get_future().wait_for(std::chrono::seconds(60)) == std::future_status::ready;
  ServiceState& w = rig->shown();
  w.SetStatusLine({DateTime{2026, 12, 6, 9, 7, 0}, std::nullopt, " <b>Warten</b> & \"Sehen\""});
  w.SetWarning("Zertifikat <endet> bald");
  w.SetAcknowledged(PublicationKind::kPrice, "", std::nullopt, 0);
  w.SetFailed(PublicationKind::kStation, DateTime{2026, 12, 6, 9, 7, 0}, {});
  w.AddCommunication("09:07:00 <i>Antwort</i> & mehr");
  w.SetReporter("<A> & B");
  w.PlaceStation(2, 3, "<img src=x onerror=alert(1)> Zentrale");
  rig->Tick();
  window_changed.set_value();
  const testing::CommandResult refreshed = browsing.get();
  proxy.stop();
  serving.join();
  ASSERT_TRUE(asked) << "the page never asked for a refresh: " << refreshed.output;
  ASSERT_EQ(refreshed.status, 0) << refreshed.output;
  const std::string& dom = refreshed.output;
  {
    SCOPED_TRACE("after the refresh");
    ASSERT_EQ(rig->model().frame1(), "Stationen zu <A> && B") << "the tick kept the change";
    ExpectPageShowsWindow(dom, rig->model());
  }
  EXPECT_TRUE(Contains(Text(dom), StatusLineText(w.status_line()))) << dom;
  EXPECT_TRUE(Contains(dom, "Tankstelle Müller"));
  EXPECT_TRUE(Contains(dom, "Kommunikation:"));
  EXPECT_EQ(refreshes, 2);
  EXPECT_EQ(Text(Inside(dom, "stale")), "Keine Verbindung zum Dienst") << "the second refresh";
  EXPECT_EQ(Text(Inside(first.output, "stale")), "");
  // Set only by the script, once it has put in place what the service sent.
  EXPECT_TRUE(Contains(dom, "data-refreshed=\"" + Text(Inside(dom, "now")) + "\""));
  EXPECT_FALSE(Contains(first.output, "data-refreshed=\"")) << "before the first refresh";
}

}  // namespace
}  // namespace velunor
