#include "certmanager/kestrin_options.h"

#include <gtest/gtest.h>

namespace velunor {
namespace {

TEST(KestrinOptionsTest, TakesTheDirectoriesAndRefusesWhatItDoesNotKnow) {
  const KestrinOptions o = ParseKestrinOptions(
      {"--program-dir", "/opt/velunor", "--cert-store", "/srv/certs", "--screenshot", "k.png"});
  EXPECT_EQ(o.status.message(), "");
  EXPECT_EQ(o.program_dir, "/opt/velunor");
  EXPECT_EQ(o.cert_store, "/srv/certs");
  EXPECT_EQ(o.screenshot, "k.png");
  EXPECT_FALSE(o.help || o.version);

  EXPECT_EQ(ParseKestrinOptions({}).program_dir, "") << "the program's own directory";
  EXPECT_TRUE(ParseKestrinOptions({"--version"}).version);
  EXPECT_TRUE(ParseKestrinOptions({"-h"}).help);
  EXPECT_EQ(ParseKestrinOptions({"--program-dir"}).status.message(),
            "option --program-dir needs a value");
  EXPECT_EQ(ParseKestrinOptions({"--cert-store", ""}).status.message(),
            "option --cert-store needs a value");
  EXPECT_EQ(ParseKestrinOptions({"--headless"}).status.message(), "unknown argument '--headless'");
}

}  // namespace
}  // namespace velunor
