// The editing font as the settings keep it (section "Font"): the fields of the
// desktop's font description, read once at start and written at exit only
// where they changed. A height of 0 means the edit view's own font; the other
// keys are then neither read nor written.
#pragma once

#include <QFont>

#include <string>
#include <vector>

#include "Settings.h"

namespace vokar::comment {

inline constexpr int kMaxFaceNameLength = 31;
inline constexpr int kCentralEuropeanCharSet = 238;

struct FontSettings {
  int height = 0;          // negative: the characters' height in pixels; positive: the cell's
  int weight = 0;          // 0 the default, 400 normal, 700 bold
  int italic = 0;
  int underline = 0;
  int pitchAndFamily = 0;  // low two bits the pitch (1 fixed, 2 variable), high four the family
  int charSet = 0;
  std::string faceName = "System";  // UTF-8, at most 31 characters

  bool UsesViewFont() const { return height == 0; }
  bool operator==(const FontSettings&) const = default;
};

FontSettings ReadFontSettings(const app::CSettings& settings);

// Writes the keys whose value differs from the last saved one and returns
// their names in the order written.
std::vector<std::string> WriteChangedFontSettings(const app::CSettings& settings, const FontSettings& current,
                                                  const FontSettings& saved);

// The font the description stands for; the view's own font when the height is 0.
QFont FontFromSettings(const FontSettings& description, const QFont& viewFont);

// The description of a font chosen by the user; dotsPerInch turns a size in
// points into pixels.
FontSettings SettingsFromFont(const QFont& font, double dotsPerInch);

// The face name cut to what the settings hold.
std::string LimitFaceName(const std::string& utf8Name);

}  // namespace vokar::comment
