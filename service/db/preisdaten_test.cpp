#include "service/db/preisdaten.h"

#include <gtest/gtest.h>

namespace velunor {
namespace {

TEST(SQLQuoteTest, EscapesInOrderWithoutDoublingAddedBackslashes) {
  EXPECT_EQ(SQLQuote("O'Neil", 80), "O\\'Neil");
  EXPECT_EQ(SQLQuote("\\", 80), "\\\\");
  EXPECT_EQ(SQLQuote("say \"hi\"", 80), "say \\\"hi\\\"");
  EXPECT_EQ(SQLQuote(std::string("a\0b", 3), 80), "a\\0b");
  EXPECT_EQ(SQLQuote(std::string("\0ab", 3), 80), "") << "a text starting with NUL is empty";
  EXPECT_EQ(SQLQuote("", 80), "");
}

TEST(SQLQuoteTest, CutsCharactersNeverInsideAnEscapeOrAUtf8Letter) {
  const std::string long_text(100, 'x');
  EXPECT_EQ(SQLQuote(long_text, 0), long_text) << "0 keeps everything";
  EXPECT_EQ(SQLQuote(long_text, 80).size(), 80u);
  // 79 letters and an apostrophe: the escape pair would end at 81, so it goes whole.
  const std::string cut = SQLQuote(std::string(79, 'a') + "'", 80);
  EXPECT_EQ(cut, std::string(79, 'a'));
  EXPECT_NE(cut.back(), '\\') << "a lone trailing backslash would break the statement";
  // Umlauts count as one character each and are never split.
  const std::string umlauts = SQLQuote(std::string(85, 'a').replace(0, 0, "Ü"), 80);
  EXPECT_EQ(umlauts, "Ü" + std::string(79, 'a'));
  EXPECT_EQ(SQLQuote("Fehler bei der Preisdaten-Übertragung", 80),
            "Fehler bei der Preisdaten-Übertragung");
}

}  // namespace
}  // namespace velunor
