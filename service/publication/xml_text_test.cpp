#include "service/publication/xml_text.h"

#include <gtest/gtest.h>

namespace velunor {
namespace {

TEST(XmlTextTest, TagIsIndentStartTagQuotedValueEndTag) {
  EXPECT_EQ(XML_Tag(12, "price", "1.759"), "            <price>1.759</price>");
  EXPECT_EQ(XML_Tag(0, "petrolStationBrand", ""), "<petrolStationBrand></petrolStationBrand>")
      << "an empty value is never a self-closing tag";
  EXPECT_EQ(XML_Tag(2, "a", " x "), "  <a> x </a>") << "the value is not trimmed here";
  EXPECT_EQ(XML_Tag(4, "name", "A & B"), "    <name>A &#38; B</name>");
  EXPECT_EQ(XML_Tag(-3, "a", "b"), "<a>b</a>");
}

TEST(XmlTextTest, QuoteEscapesAmpersandFirstAndNeverTouchesUtf8Letters) {
  EXPECT_EQ(XML_Quote("a&b"), "a&#38;b");
  EXPECT_EQ(XML_Quote("it's"), "it&apos;s");
  EXPECT_EQ(XML_Quote("<b>"), "&lt;b&gt;");
  EXPECT_EQ(XML_Quote("\"q\""), "&quot;q&quot;");
  EXPECT_EQ(XML_Quote("&lt;"), "&#38;lt;") << "an existing reference is escaped like any text";
  EXPECT_EQ(XML_Quote("&<>\"'"), "&#38;&lt;&gt;&quot;&apos;");
  EXPECT_EQ(XML_Quote(""), "");

  // The seven letters are UTF-8 already and must come out as their byte pairs once.
  EXPECT_EQ(XML_Quote("Müller"), "M\xC3\xBCller");
  const std::string strasse = XML_Quote("Straße");
  EXPECT_EQ(strasse.substr(strasse.size() - 3),
            "\xC3\x9F"
            "e");
  EXPECT_EQ(XML_Quote("ÄÖÜäöüß"), "\xC3\x84\xC3\x96\xC3\x9C\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F");
  EXPECT_EQ(XML_Quote("ä&"), "\xC3\xA4&#38;");
  EXPECT_EQ(XML_Quote("€ é"), "€ é") << "other letters pass unchanged";
}

TEST(XmlTextTest, QuoteDropsControlCharactersThatXmlForbids) {
  EXPECT_EQ(XML_Quote(std::string("Tank\x01stelle\x1F\x7F", 14)), "Tankstelle\x7F");
  EXPECT_EQ(XML_Quote("a\tb\r\nc"), "a\tb\r\nc") << "tab and line ends are allowed";
}

TEST(XmlTextTest, CharactersXmlForbidsBecomeTheReplacementCharacter) {
  const std::string fffd = "\xEF\xBF\xBD";
  bool mended = true;
  EXPECT_EQ(XmlCharacters("Jößl € 𝄞 \x7F", &mended), "Jößl € 𝄞 \x7F");
  EXPECT_FALSE(mended) << "well-formed UTF-8 passes unchanged";
  EXPECT_EQ(XmlCharacters("a\xEF\xBF\xBF"
                          "b\xEF\xBF\xBE",
                          &mended),
            "a" + fffd + "b" + fffd)
      << "U+FFFF and U+FFFE";
  EXPECT_TRUE(mended);
  EXPECT_EQ(XmlCharacters("M\xFCller"), "M" + fffd + "ller") << "a Latin-1 byte";
  EXPECT_EQ(XmlCharacters("\xED\xA0\x80"), fffd + fffd + fffd) << "a surrogate";
  EXPECT_EQ(XmlCharacters("\xC0\xAF"), fffd + fffd) << "an overlong slash";
  EXPECT_EQ(XmlCharacters("\xF4\x90\x80\x80"), fffd + fffd + fffd + fffd) << "beyond U+10FFFF";
  EXPECT_EQ(XmlCharacters("ab\xE2\x82"), "ab" + fffd + fffd) << "cut off at the end";
  EXPECT_EQ(XmlCharacters(std::string("x\x00y\x0B", 4), &mended), "xy");
  EXPECT_TRUE(mended);
  EXPECT_EQ(XML_Quote("<\xEF\xBF\xBF>"), "&lt;" + fffd + "&gt;");
}

}  // namespace
}  // namespace velunor
