#include "shared/settings_file.h"

#include <cerrno>

#include <gtest/gtest.h>

#include "tests/test_base.h"

namespace velunor {
namespace {

class SettingsFileTest : public ::testing::Test {
 protected:
  void WriteRaw(const std::string& bytes) { tmp_.Write(kSettingsFileName, bytes); }
  std::filesystem::path file() const { return dir_ / kSettingsFileName; }
  testing::TempDir tmp_;
  const std::filesystem::path& dir_ = tmp_.path();
};

TEST_F(SettingsFileTest, WrittenValuesReadBackUnchangedWithCrLf) {
  TransmissionSettings in{"  CN=Müller Tankstellen GmbH, O=Müller, C=DE ",
                          "https://mdm.example/grund?a=1,b=2", ""};
  const Status written = WriteSettingsFile(file(), in);
  ASSERT_TRUE(written.ok()) << written.message();

  const std::string bytes = testing::ReadFile(file());
  EXPECT_EQ(bytes, in.VerwendetesZertifikat + "\r\n" + in.UrlGrunddatenlieferung + "\r\n\r\n");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "Velunor.CFG.tmp"));

  const SettingsFileRead out = ReadSettingsFile(file());
  EXPECT_TRUE(out.found);
  EXPECT_EQ(out.lines, 3);
  EXPECT_EQ(out.values.VerwendetesZertifikat, in.VerwendetesZertifikat);
  EXPECT_EQ(out.values.UrlGrunddatenlieferung, in.UrlGrunddatenlieferung);
  EXPECT_EQ(out.values.UrlPreisdatenlieferung, "");
}

TEST_F(SettingsFileTest, ExtraShortMissingAndLinuxLineEnds) {
  WriteRaw("subject\r\ngrund\r\npreis\r\nextra line\r\n");
  SettingsFileRead r = ReadSettingsFile(file());
  EXPECT_EQ(r.lines, 3);
  EXPECT_EQ(r.values.UrlPreisdatenlieferung, "preis");

  WriteRaw("subject\r\ngrund");
  r = ReadSettingsFile(file());
  EXPECT_TRUE(r.found);
  EXPECT_EQ(r.lines, 2) << "a short file must be reported so the caller can log it";
  EXPECT_EQ(r.values.UrlGrunddatenlieferung, "grund");
  EXPECT_EQ(r.values.UrlPreisdatenlieferung, "");

  WriteRaw("subject\ngrund\npreis\n");
  r = ReadSettingsFile(file());
  EXPECT_EQ(r.lines, 3);
  EXPECT_EQ(r.values.VerwendetesZertifikat, "subject");
  EXPECT_EQ(r.values.UrlPreisdatenlieferung, "preis");

  std::filesystem::remove(file());
  r = ReadSettingsFile(file());
  EXPECT_FALSE(r.found);
  EXPECT_EQ(r.lines, 0);
}

TEST_F(SettingsFileTest, UnwritableLocationIsReported) {
  const Status written = WriteSettingsFile(dir_ / "no-such-dir" / kSettingsFileName, {});
  EXPECT_EQ(written.code(), ENOENT);
  EXPECT_NE(written.message().find("no-such-dir"), std::string::npos) << written.message();
}

}  // namespace
}  // namespace velunor
