#include "tests/received_publication.h"

#include <pugixml.hpp>

namespace velunor::testing {

std::string ReceivedPublication::Price(const std::string& ps_id, const std::string& fuel) const {
  const auto station = prices.find(ps_id);
  if (station == prices.end()) return "";
  const auto price = station->second.find(fuel);
  return price == station->second.end() ? "" : price->second;
}

ReceivedPublication ParseReceived(const std::string& soap_body) {
  ReceivedPublication r;
  pugi::xml_document doc;
  if (!doc.load_buffer(soap_body.data(), soap_body.size())) return r;
  const pugi::xml_node model = doc.child("S:Envelope").child("S:Body").child("d2LogicalModel");
  const pugi::xml_node payload = model.child("payloadPublication");
  if (!payload) return r;
  r.kind = model.attribute("extensionName").value();
  r.id = payload.attribute("id").value();

  for (const pugi::xml_node station : payload.children("petrolStation")) {
    r.stations[station.attribute("id").value()] = std::string("v") +
                                                  station.attribute("version").value() + " " +
                                                  station.child_value("petrolStationName") + ", " +
                                                  station.child_value("petrolStationStreet") + " " +
                                                  station.child_value("petrolStationHouseNumber");
  }
  for (const pugi::xml_node info : payload.children("petrolStationInformation")) {
    auto& fuels = r.prices[info.child("petrolStationReference").attribute("id").value()];
    for (const char* fuel : {"E5", "E10", "Diesel"}) {
      const pugi::xml_node price = info.child((std::string("fuelPrice") + fuel).c_str());
      if (price) fuels[fuel] = price.child_value("price");
    }
  }
  return r;
}

}  // namespace velunor::testing
