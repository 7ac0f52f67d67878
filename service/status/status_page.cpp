#include "service/status/status_page.h"

#include <array>
#include <string>
#include <vector>

#include "service/common/grid_cells.h"
#include "service/common/window_texts.h"
#include "shared/escape.h"

namespace velunor {

namespace {

// The window's colours and proportions; one column on a narrow screen, the
// station grid scrolls sideways instead of squeezing its prices.
constexpr const char* kStyle = R"(
* { box-sizing: border-box; }
body { margin: 0; padding: 12px; background: #f4f6f8; color: #1f2933;
  font: 15px/1.4 system-ui, sans-serif; }
header { display: flex; flex-wrap: wrap; justify-content: space-between; align-items: baseline; }
h1 { font-size: 18px; margin: 0 0 8px; }
h2 { font-size: 15px; color: #1f5f8b; margin: 14px 0 6px; }
.box { background: #fff; border: 1px solid #cfd8e3; border-radius: 4px; padding: 8px 12px; }
#info { font-size: 20px; font-weight: bold; border-left: 6px solid #1f5f8b; }
#alarm { color: #fff; background: #b3261e; border-radius: 4px; padding: 8px 14px;
  font-weight: bold; margin-top: 8px; }
#warning { color: #5c3c00; background: #ffe8a3; border-radius: 4px; padding: 8px 14px;
  font-weight: bold; margin-top: 8px; }
#problems { list-style: none; color: #b3261e; background: #fdecea; border: 1px solid #e8a39d;
  border-radius: 4px; padding: 8px 14px; margin: 8px 0 0; font-weight: bold; }
#alarm:empty, #warning:empty, #problems:empty { display: none; }
#versions th { color: #52606d; font-weight: normal; font-size: 13px; text-align: left;
  padding: 0 16px 2px 0; }
.scroll { overflow-x: auto; }
table { border-collapse: collapse; }
#versions td { padding: 4px 16px 4px 0; white-space: nowrap; }
#versions td.heading { color: #1f5f8b; font-weight: bold; }
.empty { color: #8a96a3; }
.failed { color: #b3261e; background: #fdecea; border: 1px solid #e8a39d; border-radius: 3px;
  font-weight: bold; padding: 2px 6px; }
#communication { list-style: none; margin: 0; padding: 4px; max-height: 14em; overflow-y: auto;
  font-family: ui-monospace, monospace; font-size: 13px; }
#communication li:last-child { background: #dbe7f3; }
#grid th { background: #e9eef4; border-bottom: 2px solid #1f5f8b; padding: 6px 8px; text-align: left; }
#grid td, #archive td { border-bottom: 1px solid #e1e7ee; padding: 4px 8px; white-space: nowrap; }
#archive .acknowledged { color: #1e7b34; }
#archive .refused, #archive .failed-outcome { color: #b3261e; font-weight: bold; }
footer { margin-top: 14px; padding: 6px 8px; background: #e9eef4; display: flex;
  flex-wrap: wrap; gap: 4px 24px; }
.gap { height: 10px; }
#stale { color: #b3261e; font-weight: bold; }
pre { white-space: pre-wrap; word-break: break-all; }
)";

// Renews the page every 2 s from /status.part, the page's body as the server
// renders it: every element with an id takes the children of its namesake,
// so the containers (and how far they are scrolled) stay. The part is parsed
// into an inert template; its texts were escaped by the server.
constexpr const char* kScript = R"(
(function () {
  function refresh() {
    fetch('/status.part', { cache: 'no-store' })
      .then(function (r) { if (!r.ok) throw new Error(r.status); return r.text(); })
      .then(function (html) {
        var part = document.createElement('template');
        part.innerHTML = html;
        part.content.querySelectorAll('[id]').forEach(function (fresh) {
          var shown = document.getElementById(fresh.id);
          if (shown) shown.replaceChildren.apply(shown, Array.from(fresh.childNodes));
        });
        document.title = document.getElementById('caption').textContent;
        var list = document.getElementById('communication');
        list.scrollTop = list.scrollHeight;
        document.body.setAttribute('data-refreshed', document.getElementById('now').textContent);
      })
      .catch(function () {
        document.getElementById('stale').textContent = 'Keine Verbindung zum Dienst';
      });
  }
  setInterval(refresh, 2000);
})();
)";

std::string Element(const std::string& tag, const std::string& text, const std::string& cls = "") {
  std::string attributes = cls.empty() ? "" : " class=\"" + cls + "\"";
  return "<" + tag + attributes + ">" + HtmlEscape(text) + "</" + tag + ">";
}

std::string Head(const std::string& title) {
  return "<!DOCTYPE html>\n<html lang=\"de\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         "<title>" +
         HtmlEscape(title) + "</title>\n<style>" + kStyle + "</style>\n</head>\n";
}

std::string Versions(const StatusSnapshot& s) {
  std::string html =
      "<div class=\"box scroll\"><table><thead><tr><th></th><th>Version</th>"
      "<th>Zuletzt bestätigt</th><th>Zuletzt fehlgeschlagen</th></tr></thead>"
      "<tbody id=\"versions\">";
  const std::array<VersionLabel, 8> labels = VersionLabels(s.shown);
  for (const auto& row : kVersionLabelRows) {
    html += "<tr>";
    for (int i : row) {
      const VersionLabel& label = labels[static_cast<size_t>(i)];
      html += "<td";
      if (label.kind != LabelKind::kSet) {
        html.append(" class=\"").append(LabelKindName(label.kind)) += '"';
      }
      html += "><span>" + HtmlEscape(label.text) + "</span></td>";
    }
    html += "</tr>";
  }
  return html + "</tbody></table></div>\n";
}

// Up to this many stations the grid is shown whole. A larger network shows
// the stations that want a look first, then the others in order, this many
// in all, so that the page stays small enough to renew every 2 s.
constexpr size_t kShownStations = 100;

void AppendGridRow(std::string& html, const StatusSnapshot& s, size_t r) {
  html += "<tr>";
  for (const std::string& value : s.grid[r]) html += Element(r == 0 ? "th" : "td", value);
  html += "</tr>";
}

std::string Grid(const StatusSnapshot& s) {
  std::string html = "<div class=\"box scroll\"><table id=\"grid\">";
  // Rows 0 and 1 head the grid; each station has two rows from row 2 on.
  const size_t stations = s.grid.size() > 2 ? (s.grid.size() - 2) / 2 : 0;
  if (stations <= kShownStations) {
    for (size_t r = 0; r < s.grid.size(); ++r) AppendGridRow(html, s, r);
    return html + "</table></div>\n";
  }
  AppendGridRow(html, s, 0);
  AppendGridRow(html, s, 1);
  std::vector<bool> listed(s.grid.size(), false);
  size_t shown = 0;
  const auto station = [&](size_t first) {
    if (shown == kShownStations || first < 2 || first + 1 >= s.grid.size() || listed[first]) {
      return;
    }
    listed[first] = true;
    AppendGridRow(html, s, first);
    AppendGridRow(html, s, first + 1);
    ++shown;
  };
  for (int r : s.attention_rows) station(static_cast<size_t>(r));
  for (size_t r = 2; r + 1 < s.grid.size() && shown < kShownStations; r += 2) station(r);
  html += "<tr><td colspan=\"" + std::to_string(GridCells::kColumns) + "\" class=\"empty\">" +
          HtmlEscape("Gezeigt: " + std::to_string(shown) + " von " + std::to_string(stations) +
                     " Stationen, zuerst die " + std::to_string(s.attention_rows.size()) +
                     " auffälligen (nicht meldend oder mit Preiswarnung); alle in /status.json") +
          "</td></tr>";
  return html + "</table></div>\n";
}

std::string Archive(const StatusSnapshot& s) {
  std::string html = "<div class=\"box scroll\"><table id=\"archive\">";
  for (const ArchivedTransmission& t : s.archive) {
    html += "<tr>" + Element("td", t.time) + Element("td", KindText(t.kind)) +
            Element("td", t.number) +
            Element("td", OutcomeText(t.outcome),
                    t.outcome == "failed" ? "failed-outcome" : t.outcome) +
            "<td><a href=\"/archive/" + HtmlEscape(t.name) + "\">" + HtmlEscape(t.name) +
            "</a></td></tr>";
  }
  return html + "</table></div>\n";
}

}  // namespace

std::string HtmlEscape(const std::string& text) {
  return Escaped(text,
                 {{'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}, {'\'', "&#39;"}});
}

namespace {

// Each line escaped, the lines apart as on the window.
std::string EscapedLines(const std::string& text) {
  std::string html;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    html += HtmlEscape(text.substr(start, end - start)) + "<br>";
  }
  return html + HtmlEscape(text.substr(start));
}

}  // namespace

std::string StatusPart(const StatusSnapshot& s) {
  std::string html = "<header><h1 id=\"caption\">" + HtmlEscape(Shown(s.shown, "caption")) +
                     "</h1><span id=\"clock\">" + HtmlEscape(Shown(s.shown, "clock")) +
                     "</span></header>\n";
  html += "<div id=\"info\" class=\"box\">" + HtmlEscape(Shown(s.shown, "info")) + "</div>\n";
  html += "<div id=\"alarm\">" + HtmlEscape(Shown(s.shown, "alarm")) + "</div>\n";
  html += "<div id=\"warning\">" + EscapedLines(Shown(s.shown, "warning")) + "</div>\n";
  html += "<ul id=\"problems\">";
  for (const std::string& problem : s.problems) html += Element("li", problem);
  html += "</ul>\n";
  html += "<div class=\"gap\"></div>\n" + Versions(s);
  html += "<h2>Kommunikation:</h2>\n<div class=\"box\"><ul id=\"communication\">";
  for (const std::string& line : s.shown.communication) html += Element("li", line);
  html += "</ul></div>\n";
  html += "<h2 id=\"frame1\">" + HtmlEscape(Shown(s.shown, "frame1")) + "</h2>\n" + Grid(s);
  html += "<h2>Letzte Übertragungen</h2>\n" + Archive(s);
  html += "<footer><span id=\"version\">" + HtmlEscape(Shown(s.shown, "version")) +
          "</span><span>Zustand: " + "<span id=\"state\">" + HtmlEscape(StateText(s.state)) +
          "</span></span><span>Stand: " + "<span id=\"now\">" + HtmlEscape(s.now) +
          "</span></span>" + "<span id=\"stale\"></span></footer>\n";
  return html;
}

std::string StatusPage(const StatusSnapshot& s) {
  return Head(Shown(s.shown, "caption")) + "<body>\n" + StatusPart(s) + "<script>" + kScript +
         "</script>\n</body>\n</html>\n";
}

}  // namespace velunor
