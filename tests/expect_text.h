// Checks of text for the tests: whether a text holds a part, with the whole
// text in the failure message, so that a failed check shows what was there.
#pragma once

#include <string>

#include <gtest/gtest.h>

// In the namespace of the tests themselves, so that they call it unqualified.
namespace velunor {

// For EXPECT_TRUE / EXPECT_FALSE: success when `text` holds `part`; either
// way the message shows the part and the whole text.
inline ::testing::AssertionResult Contains(const std::string& text, const std::string& part) {
  const bool holds = text.find(part) != std::string::npos;
  return (holds ? ::testing::AssertionSuccess() : ::testing::AssertionFailure())
         << "\"" << part << (holds ? "\" in:\n" : "\" not in:\n") << text;
}

}  // namespace velunor
