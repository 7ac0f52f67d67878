#include "service/publication/price_body.h"

#include "service/common/procedure.h"
#include "service/db/fuels.h"
#include "service/publication/xml_text.h"

namespace velunor {

std::vector<std::string> PriceElement(const StationEntry& entry, const std::string& reference) {
  std::vector<std::string> lines;
  lines.emplace_back("        <petrolStationInformation>");
  lines.push_back(reference);
  for (const Fuel& fuel : kFuels) {
    const PriceText& price = entry.*fuel.price;
    if (price.Number() <= 0) continue;
    const std::string element = fuel.element;
    lines.push_back("            <" + element + ">");
    // The price stands at the indent of its parent's start tag and the time
    // one level deeper: the MTS-K has always received this layout.
    lines.push_back(XML_Tag(12, "price", price.Trimmed()));
    const std::string time = (entry.*fuel.priceTime).Trimmed();
    if (entry.activeTime == 1 && !time.empty()) lines.push_back(XML_Tag(16, "dateOfPrice", time));
    lines.push_back("            </" + element + ">");
  }
  for (size_t slot = 1; slot <= 8; ++slot) {
    const OverrideTime& period = entry.overrides[slot];
    if (period.active != 1) break;
    const std::string element = period.closed != 0 ? "overrideClosed" : "overrideOpen";
    lines.push_back("            <" + element + ">");
    lines.push_back(XML_Tag(16, "startOfPeriod", period.periodStart.str()));
    lines.push_back(XML_Tag(16, "endOfPeriod", period.periodEnd.str()));
    lines.push_back("            </" + element + ">");
  }
  lines.emplace_back("        </petrolStationInformation>");
  return lines;
}

void XML_Preisdaten(PublicationState& pub, const PriceBodySource& from) {
  Procedure p(from.log, "XML_Preisdaten");
  const MasterData& m = from.master;
  const StationMap<int32_t>& active = from.published.StationActive;
  // A station of the range that is not active has no element any more, nor
  // has one that left the publication.
  std::vector<long> gone;
  for (const auto& [n, last] : pub.PriceLineLast) {
    const int32_t* status = active.Find(n);
    const bool in_range = n >= m.FirstStationNumber && n <= m.LastStationNumber;
    if (status == nullptr || (in_range && *status < 1)) gone.push_back(n);
  }
  for (long n : gone) {
    pub.PriceLineLast.Erase(n);
    pub.PriceLines.Erase(n);
  }
  static const StationEntry kNoEntry;
  for (const auto& station : active.Range(m.FirstStationNumber, m.LastStationNumber)) {
    if (station.second < 1) continue;
    const long n = station.first;
    p.Run([&] {
      const StationEntry* entry = from.stations.Find(n);
      std::vector<std::string> lines =
          PriceElement(entry == nullptr ? kNoEntry : *entry, pub.StationReference.Get(n));
      const int32_t last = static_cast<int32_t>(lines.size()) - 1;
      pub.PriceLines.Assign(n, std::move(lines));
      pub.PriceLineLast[n] = last;
    });
  }
}

}  // namespace velunor
