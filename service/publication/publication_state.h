// The publication part of the process state: frames, day names, the line
// tables of both bodies and the document last assembled. One per run, handed
// to the XML_ procedures; single-threaded like the rest of the service.
#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "service/common/failure.h"
#include "service/db/station_table.h"

namespace velunor {

// Per station a table of text lines in slots 0..200. A slot that was never
// written reads as the empty text, as do the slots of a station without lines.
class LineTable {
 public:
  static constexpr int kSlots = 201;

  // Replaces the station's lines. Throws Failure (subscript out of range) for
  // a station number outside 0..2147483647, one station too many or more
  // than kSlots lines; nothing changes then.
  void Assign(long station, std::vector<std::string> lines) {
    if (lines.size() > static_cast<size_t>(kSlots)) {
      CheckStationNumber(station);
      throw Failure(kErrSubscriptOutOfRange,
                    "Mehr als 201 Zeilen für Station " + std::to_string(station));
    }
    lines_[station] = std::move(lines);
  }

  // Throws Failure for a station number outside 0..2147483647 or a slot
  // outside 0..200.
  const std::string& Line(long station, long slot) const {
    CheckStationNumber(station);
    if (slot < 0 || slot >= kSlots) {
      throw Failure(kErrSubscriptOutOfRange,
                    "Zeile " + std::to_string(slot) + " liegt außerhalb von 0 bis 200");
    }
    static const std::string kEmpty;
    const std::vector<std::string>* lines = lines_.Find(station);
    if (lines == nullptr || static_cast<size_t>(slot) >= lines->size()) return kEmpty;
    return (*lines)[static_cast<size_t>(slot)];
  }

  void Erase(long station) { lines_.Erase(station); }
  void Clear() { lines_.Clear(); }

 private:
  StationMap<std::vector<std::string>> lines_;
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

  // The document last assembled, lines joined and ended with CR LF.
  std::string PublicationXml;

  // Station and column of every database text whose characters XML forbids
  // were mended: each is told in the error log once per run, not with every
  // publication.
  std::set<std::pair<long, std::string>> mended_texts;
};

}  // namespace velunor
