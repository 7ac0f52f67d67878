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

// Per station number 0..1000 a table of text lines in slots 0..200. A slot
// that was never written reads as the empty text.
class LineTable {
 public:
  static constexpr int kSlots = 201;

  LineTable() : lines_(StationTable::kMaxStation + 1) {}

  // Replaces the station's lines. Throws Failure (subscript out of range) for
  // a station outside 0..1000 or more than kSlots lines; nothing changes then.
  void Assign(long station, std::vector<std::string> lines) {
    const size_t index = Index(station);
    if (lines.size() > static_cast<size_t>(kSlots)) {
      throw Failure(kErrSubscriptOutOfRange,
                    "Mehr als 201 Zeilen für Station " + std::to_string(station));
    }
    lines_[index] = std::move(lines);
  }

  // Throws Failure for a station outside 0..1000 or a slot outside 0..200.
  const std::string& Line(long station, long slot) const {
    const std::vector<std::string>& lines = lines_[Index(station)];
    if (slot < 0 || slot >= kSlots) {
      throw Failure(kErrSubscriptOutOfRange,
                    "Zeile " + std::to_string(slot) + " liegt außerhalb von 0 bis 200");
    }
    static const std::string kEmpty;
    return static_cast<size_t>(slot) < lines.size() ? lines[static_cast<size_t>(slot)] : kEmpty;
  }

 private:
  static size_t Index(long station) {
    if (!StationTable::InRange(station)) {
      throw Failure(kErrSubscriptOutOfRange,
                    "Station " + std::to_string(station) + " liegt außerhalb von 0 bis 1000");
    }
    return static_cast<size_t>(station);
  }

  std::vector<std::vector<std::string>> lines_;
};

struct PublicationState {
  static constexpr int kFrameSlots = 21;
  using Frame = std::array<std::string, kFrameSlots>;
  using PerStation = std::array<std::string, StationTable::kMaxStation + 1>;

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
  PerStation StationReference;

  // Price body: each station's petrolStationInformation element; a
  // PriceLineLast of 0 means the station has none.
  LineTable PriceLines;
  std::array<int32_t, StationTable::kMaxStation + 1> PriceLineLast{};

  // The document last assembled, lines joined and ended with CR LF.
  std::string PublicationXml;

  // Station and column of every database text whose characters XML forbids
  // were mended: each is told in the error log once per run, not with every
  // publication.
  std::set<std::pair<long, std::string>> mended_texts;
};

}  // namespace velunor
