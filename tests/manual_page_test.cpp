// The manual pages and the programs' usage (what --help prints) name the
// same options: every option of the usage is described on the page, and the
// page describes none the program does not take.
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "service/core/command_line.h"
#include "tests/test_base.h"
#ifdef VELUNOR_WITH_KESTRIN
#include "certmanager/kestrin_options.h"
#endif

namespace velunor {
namespace {

std::set<std::string> OptionsIn(const std::string& text) {
  static const std::regex kOption(R"(--[a-z][a-z-]*)");
  std::set<std::string> options;
  for (std::sregex_iterator it(text.begin(), text.end(), kOption), end; it != end; ++it) {
    options.insert(it->str());
  }
  return options;
}

// The options the page's OPTIONS section describes: the lines that begin
// with one, its entries' headings ("*--program-dir* _DIR_").
std::set<std::string> PageOptions(const std::string& page) {
  const std::string source =
      testing::ReadFile(std::filesystem::path(VELUNOR_SOURCE_ROOT) / "doc" / page);
  const size_t begin = source.find("\n# OPTIONS\n");
  if (begin == std::string::npos) return {};
  const size_t end = source.find("\n# ", begin + 1);
  std::string headings;
  std::istringstream lines(source.substr(begin, end - begin));
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("*--", 0) == 0) headings += line + "\n";
  }
  return OptionsIn(headings);
}

TEST(ManualPageTest, PagesDescribeTheOptionsOfTheUsage) {
  const std::set<std::string> velunor = OptionsIn(UsageText());
  EXPECT_GE(velunor.size(), 13u) << UsageText();
  EXPECT_EQ(PageOptions("velunor.8.scd"), velunor);
#ifdef VELUNOR_WITH_KESTRIN
  const std::set<std::string> kestrin = OptionsIn(KestrinUsage());
  EXPECT_GE(kestrin.size(), 11u) << KestrinUsage();
  EXPECT_EQ(PageOptions("kestrin.1.scd"), kestrin);
#endif
}

}  // namespace
}  // namespace velunor
