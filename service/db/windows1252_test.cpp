#include "service/db/windows1252.h"

#include <gtest/gtest.h>

namespace velunor {
namespace {

TEST(Windows1252Test, GermanLettersAndTheWindowsOnlySignsBecomeOneByteEach) {
  EXPECT_EQ(Utf8ToWindows1252("Tankstelle 12; \"A\""), "Tankstelle 12; \"A\"") << "ASCII unchanged";
  EXPECT_EQ(Utf8ToWindows1252("ÄÖÜäöüß"), "\xC4\xD6\xDC\xE4\xF6\xFC\xDF");
  EXPECT_EQ(Utf8ToWindows1252("é\u00A0ÿ"), "\xE9\xA0\xFF") << "Latin-1 range keeps its value";
  // The range 0x80..0x9F holds other characters than Latin-1.
  EXPECT_EQ(Utf8ToWindows1252("€ „x“ – … ™ Š Ÿ"), "\x80 \x84x\x93 \x96 \x85 \x99 \x8A \x9F");
}

TEST(Windows1252Test, WhatWindows1252LacksBecomesOneQuestionMark) {
  EXPECT_EQ(Utf8ToWindows1252("Łódź"),
            "?\xF3"
            "d?");
  EXPECT_EQ(Utf8ToWindows1252("a\U0001F600b"), "a?b") << "four-byte character";
  EXPECT_EQ(Utf8ToWindows1252("\u0081\u008D"), "??") << "C1 controls without a Windows-1252 form";
  EXPECT_EQ(Utf8ToWindows1252(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Windows1252Test, MalformedUtf8NeverPassesThroughAsRawBytes) {
  EXPECT_EQ(Utf8ToWindows1252("\xFC"), "?") << "a Latin-1 byte is not UTF-8";
  EXPECT_EQ(Utf8ToWindows1252("ab\xC3"), "ab?") << "cut at the end";
  EXPECT_EQ(Utf8ToWindows1252("\xC3x"), "?x") << "missing continuation keeps the next letter";
  EXPECT_EQ(Utf8ToWindows1252("\xE2\x82x"), "?x") << "one ? for the broken beginning";
  EXPECT_EQ(Utf8ToWindows1252("\xC0\xAF"), "??") << "overlong form";
  EXPECT_EQ(Utf8ToWindows1252("\xED\xA0\x80"), "???") << "encoded surrogate";
  EXPECT_EQ(Utf8ToWindows1252("\xF4\x90\x80\x80"), "????") << "above U+10FFFF";
}

}  // namespace
}  // namespace velunor
