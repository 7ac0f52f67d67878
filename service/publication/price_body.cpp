#include "service/publication/price_body.h"

#include "service/common/procedure.h"
#include "service/db/fuels.h"
#include "service/publication/xml_out.h"

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

void XML_Preisdaten(PublicationState& pub, DbState& state) {
  Procedure p(state.env.log, "XML_Preisdaten");
  const MasterData& m = state.stammdaten;
  for (long n = m.FirstStationNumber; n <= m.LastStationNumber; ++n) {
    p.Run([&] {
      const size_t i = static_cast<size_t>(n);
      if (state.published.StationActive.at(i) < 1) {
        pub.PriceLineLast.at(i) = 0;
        return;
      }
      std::vector<std::string> lines = PriceElement(state.stations[n], pub.StationReference.at(i));
      const int32_t last = static_cast<int32_t>(lines.size()) - 1;
      pub.PriceLines.Assign(n, std::move(lines));
      pub.PriceLineLast.at(i) = last;
    });
  }
}

}  // namespace velunor
