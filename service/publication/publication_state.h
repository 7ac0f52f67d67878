// The publication part of the process state: frames, day names, the line
// tables of both bodies and the document last assembled. One per run, handed
// to the XML_ procedures; single-threaded like the rest of the service.
#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "service/common/failure.h"
#include "service/db/station_table.h"

namespace velunor {

// Per station a table of text lines in slots 0..200. A slot that was never
// written reads as the empty text, as do the slots of a station without lines.
// A station's lines are kept as one text with the ends of its lines, so that
// a large network's many short lines cost their characters, not an object
// each.
class LineTable {
 public:
  static constexpr int kSlots = 201;

  // Replaces the station's lines. Throws Failure (subscript out of range) for
  // a station number outside 0..2147483647, one station too many or more
  // than kSlots lines; nothing changes then.
  void Assign(long station, const std::vector<std::string>& lines) {
    if (lines.size() > static_cast<size_t>(kSlots)) {
      CheckStationNumber(station);
      throw Failure(kErrSubscriptOutOfRange,
                    "Mehr als 201 Zeilen für Station " + std::to_string(station));
    }
    Lines joined;
    size_t size = 0;
    for (const std::string& line : lines) size += line.size();
    joined.text.reserve(size);
    joined.ends.reserve(lines.size());
    for (const std::string& line : lines) {
      joined.text += line;
      joined.ends.push_back(static_cast<uint32_t>(joined.text.size()));
    }
    lines_[station] = std::move(joined);
  }

  // Throws Failure for a station number outside 0..2147483647 or a slot
  // outside 0..200. The view lasts until the station's lines are replaced.
  std::string_view Line(long station, long slot) const {
    CheckStationNumber(station);
    if (slot < 0 || slot >= kSlots) {
      throw Failure(kErrSubscriptOutOfRange,
                    "Zeile " + std::to_string(slot) + " liegt außerhalb von 0 bis 200");
    }
    const Lines* lines = lines_.Find(station);
    const auto s = static_cast<size_t>(slot);
    if (lines == nullptr || s >= lines->ends.size()) return {};
    const size_t begin = s == 0 ? 0 : lines->ends[s - 1];
    return std::string_view(lines->text).substr(begin, lines->ends[s] - begin);
  }

  void Erase(long station) { lines_.Erase(station); }
  void Clear() { lines_.Clear(); }

 private:
  struct Lines {
    std::string text;
    std::vector<uint32_t> ends;  // of each line in `text`
  };
  StationMap<Lines> lines_;
};

struct PublicationState {
  static constexpr int kFrameSlots = 21;
  using Frame = std::array<std::string, kFrameSlots>;

  // Scheme and authority of the MTS-K schema namespace; the path after it is
  // fixed by the schema version the documents follow.
  std::string schema_authority = "http://www.mdm-portal.de";

  // Frames: a frame is read slot by slot up to its first empty slot.
  Frame StationHeader, StationFooter, PriceHeader, PriceFooter;
  // Slot 0 empty, then monday .. sunday, publicHoliday.
  std::array<std::string, 9> DayNames;

  // Station body: each station's petrolStation element and its reference
  // line for the price body. StationActive and StationLineLast are kept in
  // DbState::published, because the station synchronisation clears them.
  LineTable StationLines;
  StationMap<std::string> StationReference;

  // Price body: each station's petrolStationInformation element; a
  // PriceLineLast of 0 means the station has none.
  LineTable PriceLines;
  StationMap<int32_t> PriceLineLast;

  // The document last assembled, lines joined and ended with CR LF, until
  // the SOAP envelope takes it over.
  std::string PublicationXml;

  // Station and column of every database text whose characters XML forbids
  // were mended: each is told in the error log once per run, not with every
  // publication.
  std::set<std::pair<long, std::string>> mended_texts;
};

}  // namespace velunor
