#include "service/publication/xml_frame.h"

// The frames of both publications and their assembly with the bodies.
#include <functional>
#include <string_view>

#include "service/common/procedure.h"
#include "service/common/zusatzfunktionen.h"
#include "service/db/db_values.h"
#include "service/db/preisdaten.h"
#include "service/publication/publication_number.h"
#include "service/publication/xml_text.h"
#include "shared/file_replace.h"

namespace velunor {

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr const char* kSchemaPath = "/schema/01-01-00";
constexpr const char* kNumberPlaceholder = "YYYY-VVVV";

// What tells the two documents apart in the assembly.
struct Kind {
  const char* procedure;
  const char* prefix;  // before the number in the id and in the status label
  int stammdaten_id;
  std::string MasterData::*number;
  PublicationKind kind;
  const char* file_name;
  int header_last;  // last header and footer slot read
  int footer_last;
};

const Kind kStation = {
    "XML_Out_Station",         "G-",        133, &MasterData::StationPublicationNumber,
    PublicationKind::kStation, "MTS_G.xml", 20,  20};
const Kind kPrice = {"XML_Out_Preise",        "P-",        134, &MasterData::PricePublicationNumber,
                     PublicationKind::kPrice, "MTS_P.xml", 9,   1};

// Advances the number of the kind, stores it and shows it; returns the new number.
std::string AdvanceNumber(Procedure& p, const DocumentOutput& out, const Kind& kind) {
  std::string& number = out.master.*kind.number;
  if (!number.empty() && !IsPublicationNumber(number)) {
    p.Log(kErrTypeMismatch, "Typen unverträglich: die gespeicherte Nummer '" + number +
                                "' (stammdaten " + std::to_string(kind.stammdaten_id) +
                                ") ist keine Nummer der Form Jahr-Zähler; die Zählung beginnt neu");
  }
  p.Run([&] { number = NextPublicationNumber(number, out.clock.Now().year); });
  const std::string sql = "replace into stammdaten ( id, value ) values ( " +
                          std::to_string(kind.stammdaten_id) + ", '" + SQLQuote(number, 0) + "' )";
  p.With(sql).Run([&] { Connected(out.db).Execute(sql); });
  p.With("").Run([&] { out.facts.SetNumbered(kind.kind, number, out.clock.Now()); });
  return number;
}

void WriteDocumentFile(FileSystem& files, const std::filesystem::path& path,
                       const std::string& bytes) {
  if (const Status written = ReplaceFile(files, path, bytes); !written.ok()) {
    throw Failure(kErrPathFileAccess, "Die Datei '" + path.string() +
                                          "' kann nicht geschrieben werden: " + written.message());
  }
}

using BodyWriter = std::function<void(Procedure&, std::string&)>;

void Assemble(PublicationState& pub, const DocumentOutput& out, const Kind& kind,
              const PublicationState::Frame& header, const PublicationState::Frame& footer,
              const BodyWriter& body) {
  Procedure p(out.log, kind.procedure);
  std::string& xml = pub.PublicationXml;
  xml.clear();
  for (int slot = 1; slot <= kind.header_last; ++slot) {
    const std::string& line = header[static_cast<size_t>(slot)];
    if (line.empty()) break;
    if (slot == 4) {
      const std::string number = AdvanceNumber(p, out, kind);
      xml += ReplaceAll(line, kNumberPlaceholder, number);
    } else {
      xml += line;
    }
    xml += kCrLf;
  }
  body(p, xml);
  for (int slot = 0; slot <= kind.footer_last; ++slot) {
    const std::string& line = footer[static_cast<size_t>(slot)];
    if (line.empty()) break;
    xml += line;
    xml += kCrLf;
  }
  // The file ends with one more CR LF than the document; added and taken off
  // again, so that a large network's document is not copied for it.
  xml += kCrLf;
  p.With("").Run([&] { WriteDocumentFile(out.files, out.program_dir / kind.file_name, xml); });
  xml.resize(xml.size() - std::string_view(kCrLf).size());
}

// Appends the station's lines 0..last, each with CR LF, up to the first empty one.
void AppendLines(std::string& xml, const LineTable& lines, long station, long last) {
  for (long slot = 0; slot <= last; ++slot) {
    const std::string_view line = lines.Line(station, slot);
    if (line.empty()) break;
    xml += line;
    xml += kCrLf;
  }
}

}  // namespace

void XML_Init(PublicationState& pub, FehlerLog& log, const MasterData& master) {
  Procedure p(log, "XML_Init");
  p.Run([&] {
    pub.DayNames = {"",       "monday",   "tuesday", "wednesday",    "thursday",
                    "friday", "saturday", "sunday",  "publicHoliday"};
  });
  bool mended = false;
  XmlCharacters(master.ReporterName, &mended);
  if (mended) {
    p.log().WriteNotice(
        "stammdaten 135 enthält Zeichen, die XML nicht zulässt; in den Veröffentlichungen ersetzt",
        p.name());
  }
  p.Run([&] {
    // The authority is a setting; quoted so that no setting can break the tag.
    const std::string ns = XML_Quote(pub.schema_authority) + kSchemaPath;
    PublicationState::Frame& h = pub.StationHeader;
    PublicationState::Frame& f = pub.StationFooter;
    h = {};
    f = {};
    h[1] = "<d2LogicalModel xmlns=\"" + ns + "\"";
    h[2] = " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"";
    h[3] = " xsi:schemaLocation=\"" + ns +
           "/PetrolStationPublication_v01-01-00.xsd\" modelBaseVersion=\"2\" "
           "extensionName=\"PetrolStationPublication\" extensionVersion=\"01-01-00\">";
    h[4] =
        "    <payloadPublication xsi:type=\"PetrolStationPublication\" lang=\"de\" "
        "id=\"G-YYYY-VVVV\">";
    h[5] = "        <publicationCreator>";
    h[6] = "            <country>de</country>";
    h[7] = "            <nationalIdentifier>DE-MDM-" + XML_Quote(master.ReporterName) +
           "</nationalIdentifier>";
    h[8] = "        </publicationCreator>";
    h[9] = "        <genericPublicationName>PetrolStationPublication</genericPublicationName>";
    f[0] = "    </payloadPublication>";
    f[1] = "</d2LogicalModel>";

    // The price header differs in three lines. Its schema location names the
    // namespace and the file as a pair, and its line carries no leading space.
    PublicationState::Frame& ph = pub.PriceHeader;
    ph = {};
    for (size_t slot = 0; slot <= 8; ++slot) ph[slot] = h[slot];
    ph[3] = "xsi:schemaLocation=\"" + ns +
            " FuelPricePublication_v01-01-00.xsd\" modelBaseVersion=\"2\" "
            "extensionName=\"FuelPricePublication\" extensionVersion=\"01-01-00\">";
    ph[4] =
        "    <payloadPublication xsi:type=\"FuelPricePublication\" lang=\"de\" "
        "id=\"P-YYYY-VVVV\">";
    ph[9] = "        <genericPublicationName>FuelPricePublication</genericPublicationName>";
    pub.PriceFooter = {};
    pub.PriceFooter[0] = f[0];
    pub.PriceFooter[1] = f[1];
  });
}

void XML_Out_Station(PublicationState& pub, const DocumentOutput& out,
                     const StationPublicationIndex& published) {
  Assemble(
      pub, out, kStation, pub.StationHeader, pub.StationFooter,
      [&](Procedure& p, std::string& xml) {
        // Station 0 is never published.
        for (const auto& station : published.StationActive.Range(1, kMaxStationNumber)) {
          if (station.second <= 0) continue;
          const long n = station.first;
          p.Run([&] { AppendLines(xml, pub.StationLines, n, published.StationLineLast.Get(n)); });
        }
      });
}

void XML_Out_Preise(PublicationState& pub, const DocumentOutput& out) {
  const MasterData& m = out.master;
  Assemble(pub, out, kPrice, pub.PriceHeader, pub.PriceFooter, [&](Procedure& p, std::string& xml) {
    for (const auto& station : pub.PriceLineLast.Range(m.FirstStationNumber, m.LastStationNumber)) {
      const long n = station.first;
      const long last = station.second;
      if (last > 0) p.Run([&] { AppendLines(xml, pub.PriceLines, n, last); });
    }
  });
}

}  // namespace velunor
