#include "tests/received_publication.h"

#include <libxml/parser.h>

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

std::string XmlWellFormedFault(const std::string& document) {
  xmlParserCtxt* context = xmlNewParserCtxt();
  if (context == nullptr) return "libxml2 cannot start";
  xmlDoc* doc =
      xmlCtxtReadMemory(context, document.data(), static_cast<int>(document.size()), nullptr,
                        nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  std::string fault;
  if (doc == nullptr || !context->wellFormed) {
    const xmlError* error = xmlCtxtGetLastError(context);
    fault = error != nullptr && error->message != nullptr
                ? "line " + std::to_string(error->line) + ": " + error->message
                : "not well-formed";
  }
  if (doc != nullptr) xmlFreeDoc(doc);
  xmlFreeParserCtxt(context);
  return fault;
}

}  // namespace velunor::testing
