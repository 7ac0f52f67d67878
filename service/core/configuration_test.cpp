#include "service/core/configuration.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "tests/test_support.h"

namespace velunor {
namespace {

TEST(ConfigurationTest, TheCommandLinesPartThenEachFileOnlyWhenAskedFor) {
  testing::TempDir dir;
  const CommandLine cl = ParseCommandLine({"--program-dir", dir.path().string(), "--status-address",
                                           "[::1]:8089", "--archive-max-mb", "3"});
  ASSERT_EQ(cl.status.message(), "");
  Configuration config = ConfigurationFromCommandLine(cl, "velunor");
  EXPECT_EQ(config.program_dir, dir.path());
  EXPECT_EQ(config.cert_store, dir.path() / "certstore");
  ASSERT_TRUE(config.status_address);
  EXPECT_EQ(config.status_address->host, "::1") << "taken apart once, on the command line";
  EXPECT_EQ(config.status_address->port, 8089);
  EXPECT_EQ(config.archive_max_bytes, 3u * 1024 * 1024);
  EXPECT_TRUE(config.station_ini_status.ok() && config.station_ini.values_read == 0)
      << "no file read yet";
  EXPECT_FALSE(config.settings_file.found);

  // Missing: recorded, not reported; the caller says it in its own words.
  LoadConfigurationFile(RealFileSystem(), config, ConfigurationFile::kStationIni);
  EXPECT_EQ(config.station_ini_status.code(), ENOENT);
  LoadConfigurationFile(RealFileSystem(), config, ConfigurationFile::kSettingsFile);
  EXPECT_FALSE(config.settings_file.found);

  // Each load reads its own file again and leaves the other part as it was.
  testing::WriteStationIni(dir.path(), "db:3307", "lox", "geheim");
  dir.Write(kSettingsFileName, "CN=Test\r\nhttps://grund\r\n");
  LoadConfigurationFile(RealFileSystem(), config, ConfigurationFile::kStationIni);
  EXPECT_TRUE(config.station_ini_status.ok());
  EXPECT_EQ(config.station_ini.DbServer, "db:3307");
  EXPECT_FALSE(config.settings_file.found) << "Velunor.CFG waits for its own moment";
  LoadConfigurationFile(RealFileSystem(), config, ConfigurationFile::kSettingsFile);
  EXPECT_EQ(config.settings_file.lines, 2) << "a short file is the caller's to report";
  EXPECT_EQ(config.settings_file.values.UrlGrunddatenlieferung, "https://grund");
  dir.Write(kSettingsFileName, "CN=Neu\r\nhttps://g\r\nhttps://p\r\n");
  LoadConfigurationFile(RealFileSystem(), config, ConfigurationFile::kSettingsFile);
  EXPECT_EQ(config.settings_file.values.VerwendetesZertifikat, "CN=Neu") << "read again";
  EXPECT_EQ(config.station_ini.DbBenutzer, "lox");
}

}  // namespace
}  // namespace velunor
