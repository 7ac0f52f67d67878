// The publication number "yyyy-counter" that identifies each document of one
// kind: the counter grows by one per document, restarts at 1 in a new year
// and follows 999999 with 0. Pure function.
#pragma once

#include <string>

namespace velunor {

// True for four digits of a year, "-" and the counter's digits: the only
// form a number may have, because it is written into every document's id.
bool IsPublicationNumber(const std::string& text);

// The number after `current` in `year`. A `current` of a year before `year`,
// or one that is no publication number at all (empty, damaged), starts the
// year anew; the counter is the number from the sixth character on.
std::string NextPublicationNumber(const std::string& current, int year);

}  // namespace velunor
