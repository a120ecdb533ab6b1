// The editing font in the settings: the keys read only with a height, the
// face name's limit on both sides, only changed keys written at exit, and the
// description of a font and back.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include "ClientTestSupport.h"
#include "FontSettings.h"
#include "Profile.h"

namespace vokar::comment {
namespace {

using vokar::testing::ClientWorld;

class FontSettingsTest : public ::testing::Test {
 protected:
  ClientWorld world_;
  app::CSettings settings_{"Remarka"};
  registry::Profile profile_{"Quillmark", "Remarka"};
};

TEST_F(FontSettingsTest, HeightZeroReadsNothingElse) {
  ASSERT_TRUE(profile_.WriteInt("Font", "Weight", 700).ok());
  ASSERT_TRUE(profile_.WriteString("Font", "FaceName", "Courier").ok());
  const FontSettings font = ReadFontSettings(settings_);
  EXPECT_EQ(font, FontSettings{});
  EXPECT_EQ(font.faceName, "System");
  EXPECT_TRUE(font.UsesViewFont());
}

TEST_F(FontSettingsTest, WithAHeightEveryKeyIsRead) {
  ASSERT_TRUE(profile_.WriteInt("Font", "Height", -16).ok());
  ASSERT_TRUE(profile_.WriteInt("Font", "Weight", 700).ok());
  ASSERT_TRUE(profile_.WriteInt("Font", "Italic", 1).ok());
  ASSERT_TRUE(profile_.WriteInt("Font", "PitchAndFamily", 0x31).ok());
  ASSERT_TRUE(profile_.WriteInt("Font", "CharSet", 238).ok());
  const FontSettings font = ReadFontSettings(settings_);
  EXPECT_EQ(font.height, -16);
  EXPECT_EQ(font.weight, 700);
  EXPECT_EQ(font.italic, 1);
  EXPECT_EQ(font.underline, 0);
  EXPECT_EQ(font.pitchAndFamily, 0x31);
  EXPECT_EQ(font.charSet, 238);
  EXPECT_EQ(font.faceName, "System");  // missing: the default
}

TEST_F(FontSettingsTest, FaceNameHoldsThirtyOneCharacters) {
  ASSERT_TRUE(profile_.WriteInt("Font", "Height", -12).ok());
  const std::string thirtyOne = "Źdźbło Sans Condensed Extra 123";  // 31 characters, more bytes
  ASSERT_EQ(QString::fromStdString(thirtyOne).size(), 31);
  ASSERT_TRUE(profile_.WriteString("Font", "FaceName", thirtyOne).ok());
  EXPECT_EQ(ReadFontSettings(settings_).faceName, thirtyOne);
  ASSERT_TRUE(profile_.WriteString("Font", "FaceName", thirtyOne + "4").ok());
  EXPECT_EQ(ReadFontSettings(settings_).faceName, thirtyOne);
}

TEST_F(FontSettingsTest, OnlyChangedKeysAreWritten) {
  FontSettings saved;
  saved.height = -13;
  saved.weight = 400;
  saved.faceName = "Arial";
  FontSettings current = saved;
  EXPECT_TRUE(WriteChangedFontSettings(settings_, current, saved).empty());
  EXPECT_FALSE(profile_.Has("Font", "Height"));

  current.weight = 700;
  current.faceName = "Courier";
  EXPECT_EQ(WriteChangedFontSettings(settings_, current, saved), (std::vector<std::string>{"Weight", "FaceName"}));
  EXPECT_EQ(profile_.GetInt("Font", "Weight", 0), 700);
  EXPECT_EQ(profile_.GetString("Font", "FaceName", ""), "Courier");
  EXPECT_FALSE(profile_.Has("Font", "Height"));

  // Back to the view's font: only the height counts.
  FontSettings viewFont;
  viewFont.weight = 123;
  EXPECT_EQ(WriteChangedFontSettings(settings_, viewFont, saved), (std::vector<std::string>{"Height"}));
  EXPECT_EQ(profile_.GetInt("Font", "Height", 5), 0);
  EXPECT_EQ(profile_.GetInt("Font", "Weight", 0), 700);
}

TEST(FontDescription, ToFontAndBack) {
  int argc = 1;
  char name[] = "test";
  char* argv[] = {name, nullptr};
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication application(argc, argv);

  FontSettings description;
  description.height = -16;
  description.weight = 700;
  description.italic = 1;
  description.underline = 1;
  description.pitchAndFamily = 0x31;  // fixed pitch, modern family
  description.faceName = "DejaVu Sans Mono";
  const QFont font = FontFromSettings(description, QFont("Sans"));
  EXPECT_EQ(font.pixelSize(), 16);
  EXPECT_EQ(font.weight(), QFont::Bold);
  EXPECT_TRUE(font.italic());
  EXPECT_TRUE(font.underline());
  EXPECT_TRUE(font.fixedPitch());
  EXPECT_EQ(font.styleHint(), QFont::Monospace);
  EXPECT_EQ(font.family(), "DejaVu Sans Mono");
  const FontSettings back = SettingsFromFont(font, 96);
  EXPECT_EQ(back.height, -16);
  EXPECT_EQ(back.weight, 700);
  EXPECT_EQ(back.pitchAndFamily, 0x31);
  EXPECT_EQ(back.charSet, 238);

  // Height 0: the view's font as it is.
  const QFont view("Serif", 11);
  EXPECT_EQ(FontFromSettings(FontSettings{}, view), view);

  // 12 points are 16 pixels at 96 dots per inch and 20 at 120; a serif font
  // of variable pitch is family 0x10, pitch 2.
  QFont serif("DejaVu Serif");
  serif.setPointSize(12);
  serif.setStyleHint(QFont::Serif);
  EXPECT_EQ(SettingsFromFont(serif, 96).height, -16);
  EXPECT_EQ(SettingsFromFont(serif, 120).height, -20);
  EXPECT_EQ(SettingsFromFont(serif, 96).pitchAndFamily, 0x12);
  EXPECT_EQ(SettingsFromFont(serif, 96).weight, 400);
}

}  // namespace
}  // namespace vokar::comment
