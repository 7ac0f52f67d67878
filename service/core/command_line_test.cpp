#include "service/core/command_line.h"

#include <gtest/gtest.h>

namespace velunor {
namespace {

TEST(CommandLineTest, OptionsAndUsageErrors) {
  CommandLine c = ParseCommandLine({"--program-dir", "/opt/velunor", "--headless", "--tick-ms",
                                    "50", "--ticks", "300", "--cert-store", "/etc/certs"});
  EXPECT_EQ(c.status.message(), "");
  EXPECT_EQ(c.program_dir, "/opt/velunor");
  EXPECT_EQ(c.cert_store, "/etc/certs");
  EXPECT_TRUE(c.headless);
  EXPECT_EQ(c.tick_ms, 50);
  EXPECT_EQ(c.ticks, 300);
  EXPECT_EQ(ParseCommandLine({}).tick_ms, 1000);
  EXPECT_NE(ParseCommandLine({"--tick-ms", "0"}).status.message(), "");
  EXPECT_NE(ParseCommandLine({"--tick-ms", "12x"}).status.message(), "");
  EXPECT_NE(ParseCommandLine({"--ticks"}).status.message(), "");
  EXPECT_NE(ParseCommandLine({"--frobnicate"}).status.message().find("--frobnicate"),
            std::string::npos);
  EXPECT_TRUE(ParseCommandLine({"--version"}).version);
  // An empty directory would silently mean the program's own: refused, in
  // the same words as Kestrin's.
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--program-dir", ""}, {"--cert-store", ""}, {"--lpg-dir", ""}, {"--program-dir"}}) {
    EXPECT_EQ(ParseCommandLine(args).status.message(), "option " + args[0] + " needs a value");
  }
  EXPECT_EQ(ParseCommandLine({"--lpg-dir", "/srv/lpg"}).lpg_dir, "/srv/lpg");
  // The reporter lease: at least 15 seconds, a name that prints on one line.
  c = ParseCommandLine({"--instance-name", "kasse-2", "--lease-seconds", "15"});
  EXPECT_EQ(c.status.message(), "");
  EXPECT_EQ(c.instance_name, "kasse-2");
  EXPECT_EQ(c.lease_seconds, 15);
  EXPECT_EQ(ParseCommandLine({}).lease_seconds, 60);
  EXPECT_NE(ParseCommandLine({"--lease-seconds", "14"}).status.message(), "");
  EXPECT_NE(ParseCommandLine({"--instance-name", "a\nb"}).status.message(), "");
  EXPECT_EQ(ParseCommandLine({"--status-address", "8089"}).status.message(),
            "--status-address needs HOST:PORT (for example 127.0.0.1:8089), not '8089'");
  EXPECT_EQ(ParseCommandLine({"--status-address", "127.0.0.1:8089"}).status_address->port, 8089);
  // The plausibility rule: euros with a point, the band the right way round.
  c = ParseCommandLine({"--price-band", "0.9:2.5", "--price-jump", "0"});
  EXPECT_EQ(c.status.message(), "");
  EXPECT_EQ(c.plausibility.band_min, 0.9);
  EXPECT_EQ(c.plausibility.band_max, 2.5);
  EXPECT_EQ(c.plausibility.jump, 0);
  EXPECT_EQ(ParseCommandLine({}).plausibility.jump, 0.3);
  for (const char* band : {"2.5:0.9", "1:1", "0,9:2,5", "0.9", "-1:2", "0.9:", "1e1:20", "nan:2"}) {
    EXPECT_NE(ParseCommandLine({"--price-band", band}).status.message(), "") << band;
  }
  for (const char* jump : {"-0.1", "0.1234", ".3", "3.", "abc"}) {
    EXPECT_NE(ParseCommandLine({"--price-jump", jump}).status.message(), "") << jump;
  }
}

}  // namespace
}  // namespace velunor
