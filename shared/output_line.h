// The one escaping of every line the two programs write for a person or a
// log: the error log, the communication log, standard output and error, and
// systemd's status. A text from outside (a station name, a server's answer,
// a driver's message, a certificate subject) can then never start a line of
// its own, move a terminal's cursor or read like an escape the program wrote.
// Pure functions, except PrintLine, which writes.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace velunor {

// `text` with the backslash doubled and every control character written
// visibly: "\n", "\r", "\t", "\x1B" for the C0 controls and DEL, "\u009B"
// for the C1 controls in UTF-8. Other bytes pass untouched.
std::string EscapeLine(std::string_view text);

// The text EscapeLine was given; an escape it does not write stays as it is.
// So what a person copies from an output line (a certificate subject) can be
// taken back.
std::string UnescapeLine(std::string_view line);

// Writes EscapeLine(`line`) and a line end to `to`, and flushes it.
void PrintLine(std::FILE* to, std::string_view line);

}  // namespace velunor
