#include "service/common/window_texts.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include "service/common/service_state.h"

namespace velunor {
namespace {

TEST(WindowTextsTest, CaptionsShowDoubledAmpersandsOnceAndHideAccessKeys) {
  EXPECT_EQ(VisibleCaption("Stationen zu Müller && Söhne"), "Stationen zu Müller & Söhne");
  EXPECT_EQ(VisibleCaption("&&&&"), "&&");
  EXPECT_EQ(VisibleCaption("&Beenden"), "Beenden");
  EXPECT_EQ(VisibleCaption("A & B"), "A  B") << "a single ampersand marks a key, it is not shown";
  EXPECT_EQ(VisibleCaption("Ende&"), "Ende");
  EXPECT_EQ(VisibleCaption("Stationen"), "Stationen");
  // A text in the access-key notation reads as the operator sees it; a name
  // that is none is an error, not an empty text.
  ServiceFacts facts;
  facts.reporter = "Müller & Söhne";
  EXPECT_EQ(Shown(facts, "frame1"), "Stationen zu Müller & Söhne");
  EXPECT_THROW(Shown(facts, "frame"), std::out_of_range);
}

// A label's kind comes from the record its text comes from: the headings
// whatever has happened, "nothing yet", a failure, and anything else set.
TEST(WindowTextsTest, EachVersionLabelCarriesTheKindOfItsRecord) {
  using enum LabelKind;
  ServiceState state;
  const auto kinds = [&] {
    std::array<LabelKind, 8> kind{};
    const std::array<VersionLabel, 8> labels = VersionLabels(state.facts());
    for (size_t i = 0; i < labels.size(); ++i) kind[i] = labels[i].kind;
    return kind;
  };
  EXPECT_EQ(kinds(),
            (std::array{kHeading, kEmpty, kHeading, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty}));
  state.SetNumbered(PublicationKind::kStation, "2026-000007", DateTime{2026, 12, 6, 9, 5, 0});
  state.SetAcknowledged(PublicationKind::kPrice, "2026-000003", DateTime{2026, 12, 6, 9, 5, 1},
                        1796544301);
  state.SetFailed(PublicationKind::kStation, DateTime{2026, 12, 6, 9, 5, 2}, {});
  EXPECT_EQ(kinds(), (std::array{kHeading, kSet, kHeading, kEmpty, kEmpty, kSet, kFailed, kEmpty}));
  state.SetAcknowledged(PublicationKind::kPrice, "", std::nullopt, 0);
  EXPECT_EQ(kinds()[5], kEmpty) << "an acknowledgement no longer known";
  EXPECT_STREQ(LabelKindName(kFailed), "failed");
  EXPECT_STREQ(LabelKindName(kSet), "set");
}

}  // namespace
}  // namespace velunor
