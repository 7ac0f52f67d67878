// Building blocks of the station body: the lines of one station's
// petrolStation element and its reference line for the price body. Used by
// XML_Stationsdaten; pure apart from the failures they log.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "service/common/procedure.h"
#include "service/db/odbc.h"

namespace velunor {

// `<petrolStationReference targetClass="PetrolStation"  id="..." version="..."/>`
// at indent 8, with two spaces before id. The values go in untrimmed and
// escaped, so that no identifier can break the document.
std::string StationReferenceLine(const std::string& id, const std::string& version);

// The lines of the petrolStation element of row `row` of a
// "select * from mts_petrolstation" result, with one openingTimes group per
// row of `times`, at most 201 lines. A NULL where a text is required gives an
// empty element and a logged failure. An openingTimes group that would push
// the element past 201 lines is left out whole and logged, so that the
// element always stays complete.
std::vector<std::string> StationElement(const ResultSet& station, size_t row,
                                        const ResultSet& times,
                                        const std::array<std::string, 9>& day_names, Procedure& p);

}  // namespace velunor
