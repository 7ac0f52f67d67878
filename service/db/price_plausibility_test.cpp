#include "service/db/price_plausibility.h"

#include <gtest/gtest.h>

namespace velunor {
namespace {

TEST(PricePlausibilityTest, TheBandAndTheJumpAndTheirTexts) {
  const PlausibilityRule rule;  // 0.500 to 3.500, 0.300
  using Rule = PriceWarning::Rule;
  EXPECT_EQ(BrokenRule(rule, 1.689, 1.589), std::nullopt);
  EXPECT_EQ(BrokenRule(rule, 1.889, 1.589), std::nullopt);  // exactly the jump
  EXPECT_EQ(BrokenRule(rule, 1.890, 1.589), Rule::kJump);
  EXPECT_EQ(BrokenRule(rule, 0.169, 1.689), Rule::kJump);  // the jump names the slip best
  EXPECT_EQ(BrokenRule(rule, 0.499, 0), Rule::kBand);      // nothing stored: the band alone
  EXPECT_EQ(BrokenRule(rule, 0.500, 0), std::nullopt);
  EXPECT_EQ(BrokenRule(rule, 3.500, 0), std::nullopt);
  EXPECT_EQ(BrokenRule(rule, 3.501, 3.400), Rule::kBand);
  EXPECT_EQ(BrokenRule(rule, 0, 1.689), std::nullopt);           // no price, which is never stored
  EXPECT_EQ(BrokenRule({0.5, 3.5, 0}, 0.9, 1.7), std::nullopt);  // jump rule off
  EXPECT_EQ(BrokenRule({0.5, 3.5, 0}, 0.4, 0.45), Rule::kBand);

  PriceWarning w{1,     "Tankstelle Müller", "diesel", "Diesel", 0.169,
                 1.689, Rule::kJump,         0.5,      3.5,      0};
  EXPECT_EQ(PriceWarningText(w),
            "Preis Diesel 0.169 an Station 1 (Tankstelle Müller) ungewöhnlich: 1.520 € unter dem "
            "letzten Preis 1.689; gemeldet");
  w.price = 1.999;
  EXPECT_NE(PriceWarningText(w).find(": 0.310 € über dem letzten Preis 1.689;"), std::string::npos);
  w.rule = Rule::kBand;
  w.station_name = "";
  EXPECT_EQ(PriceWarningText(w),
            "Preis Diesel 1.999 an Station 1 ungewöhnlich: außerhalb von 0.500 bis 3.500 €; "
            "gemeldet");
}

}  // namespace
}  // namespace velunor
