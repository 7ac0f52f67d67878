#include "service/common/window_texts.h"

#include <gtest/gtest.h>

namespace velunor {
namespace {

TEST(WindowTextsTest, CaptionsShowDoubledAmpersandsOnceAndHideAccessKeys) {
  EXPECT_EQ(VisibleCaption("Stationen zu Müller && Söhne"), "Stationen zu Müller & Söhne");
  EXPECT_EQ(VisibleCaption("&&&&"), "&&");
  EXPECT_EQ(VisibleCaption("&Beenden"), "Beenden");
  EXPECT_EQ(VisibleCaption("A & B"), "A  B") << "a single ampersand marks a key, it is not shown";
  EXPECT_EQ(VisibleCaption("Ende&"), "Ende");
  EXPECT_EQ(VisibleCaption("Stationen"), "Stationen");
}

TEST(WindowTextsTest, OnlyTheFramedTimeIsAFailure) {
  EXPECT_TRUE(IsFailureMark("!! 06.12.2026 09:05:00 !!"));
  EXPECT_FALSE(IsFailureMark("06.12.2026 09:05:00"));
  EXPECT_FALSE(IsFailureMark("---"));
  EXPECT_FALSE(IsFailureMark("!! 06.12.2026"));
  EXPECT_FALSE(IsFailureMark(""));
  // The version labels: the headings whatever they read, then the three states.
  EXPECT_EQ(ClassifyLabel(0, "!! 06.12.2026 09:05:00 !!"), LabelKind::kHeading);
  EXPECT_EQ(ClassifyLabel(2, "---"), LabelKind::kHeading);
  EXPECT_EQ(ClassifyLabel(3, "---"), LabelKind::kEmpty);
  EXPECT_EQ(ClassifyLabel(6, "!! 06.12.2026 09:05:00 !!"), LabelKind::kFailed);
  EXPECT_EQ(ClassifyLabel(4, "06.12.2026 09:05:00"), LabelKind::kSet);
  EXPECT_STREQ(LabelKindName(LabelKind::kFailed), "failed");
  EXPECT_STREQ(LabelKindName(LabelKind::kSet), "set");
}

}  // namespace
}  // namespace velunor
