// The presenter: every text that the window, the status page and
// /status.json show of the service's facts, and how a caption reads on the
// screen. Captions follow the access-key rule of the window's controls: "&&"
// shows one "&", a single "&" marks the key and is not shown. Pure
// functions; no Qt.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "service/common/service_facts.h"

namespace velunor {

// "dd.mm.yyyy hh:mm:ss", as every time of the state reads; "" for none.
std::string ShownTime(const std::optional<DateTime>& at);

// The caption as the operator sees it.
std::string VisibleCaption(const std::string& caption);

// A text that stands alone in the window (the status line, the alarm, the
// caption above the stations, ...) and that the page and the JSON show
// alike. The window model keeps each by its place in ShownTexts(); the
// views find one by its name.
struct ShownText {
  const char* name;             // the page's element id, "info"
  const char* json_key;         // its key in /status.json, "status_line"
  std::vector<Aspect> aspects;  // the facts it is made of
  std::string (*make)(const ServiceFacts& facts);
  // Made in the access-key notation (for the window's controls): shown
  // through VisibleCaption.
  bool access_keys = false;
};

// Every such text, in one fixed order.
const std::vector<ShownText>& ShownTexts();
// The place in ShownTexts() of the text named `name`; throws
// std::out_of_range for a name that is none.
int ShownTextIndex(std::string_view name);
// The text named `name` of `facts`, as the operator reads it.
std::string Shown(const ServiceFacts& facts, std::string_view name);

// What the eight labels of the version box show (places in
// kVersionLabelRows): their colours come from it, so that the window and
// the page tell a failure alike.
enum class LabelKind { kHeading, kEmpty, kFailed, kSet };

// "heading", "empty", "failed" or "set".
const char* LabelKindName(LabelKind kind);

struct VersionLabel {
  std::string text;
  LabelKind kind = LabelKind::kSet;
  friend bool operator==(const VersionLabel&, const VersionLabel&) = default;
};

// Where the eight labels stand: one row per publication kind, left to right
// heading, version, last success, last failure.
inline constexpr std::array<std::array<int, 4>, 2> kVersionLabelRows = {
    {{0, 1, 4, 6}, {2, 3, 5, 7}}};

// The two headings, each kind's last number ("G-"/"P-" number " am: "
// time), last acknowledgement and last failure ("!! time !!"); "---" where
// there is none yet. Each with its kind, from the same facts as its text.
std::array<VersionLabel, 8> VersionLabels(const ServiceFacts& facts);

}  // namespace velunor
