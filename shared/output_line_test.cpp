#include "shared/output_line.h"

#include <gtest/gtest.h>

namespace velunor {
namespace {

TEST(EscapeLineTest, NothingFromOutsideCanStartALineOrDriveATerminal) {
  EXPECT_EQ(EscapeLine("Müller Tankstellen, 1.659 €"), "Müller Tankstellen, 1.659 €");
  EXPECT_EQ(EscapeLine("a\nb\r\tc"), "a\\nb\\r\\tc");
  EXPECT_EQ(EscapeLine("\x1B[2J\x7F"), "\\x1B[2J\\x7F");
  EXPECT_EQ(EscapeLine(std::string("nul\0", 4)), "nul\\x00");
  EXPECT_EQ(EscapeLine("C:\\LPG\\n"), "C:\\\\LPG\\\\n")
      << "a backslash in data must not read like an escaped line break";
  EXPECT_EQ(EscapeLine("\xC2\x9B"
                       "31m \xC2\xA0"),
            "\\u009B31m \xC2\xA0")
      << "a C1 control is escaped, a no-break space is not";
  EXPECT_EQ(EscapeLine("\xC2"), "\xC2") << "a cut sequence passes as it is";

  for (const std::string text : {"O=Müller\\, Söhne", "a\nb\x1B\\x41\xC2\x9B", "\\\\n"}) {
    EXPECT_EQ(UnescapeLine(EscapeLine(text)), text) << text;
  }
  EXPECT_EQ(UnescapeLine("C:\\q \\x4"), "C:\\q \\x4") << "escapes it never writes stay";
}

}  // namespace
}  // namespace velunor
