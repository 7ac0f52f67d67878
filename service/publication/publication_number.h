// The publication number "yyyy-counter" that identifies each document of one
// kind: the counter grows by one per document, restarts at 1 in a new year
// and follows 999999 with 0. Pure function.
#pragma once

#include <string>

namespace velunor {

// The number after `current` in `year`. A `current` whose first four
// characters read as a year before `year` (or as no number at all) starts
// the year anew; the counter is the number from the sixth character on.
std::string NextPublicationNumber(const std::string& current, int year);

}  // namespace velunor
