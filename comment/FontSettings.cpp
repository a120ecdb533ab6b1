#include "FontSettings.h"

#include <QString>

#include <algorithm>
#include <cmath>

namespace vokar::comment {
namespace {

constexpr const char* kSection = "Font";

// The family nibble of the font description, by the font's style.
constexpr int kFamilyDontCare = 0x00, kFamilyRoman = 0x10, kFamilySwiss = 0x20, kFamilyModern = 0x30,
              kFamilyScript = 0x40, kFamilyDecorative = 0x50;
constexpr int kFixedPitch = 1, kVariablePitch = 2;

int FamilyOf(QFont::StyleHint hint) {
  switch (hint) {
    case QFont::Serif: return kFamilyRoman;
    case QFont::SansSerif: return kFamilySwiss;
    case QFont::TypeWriter:
    case QFont::Monospace: return kFamilyModern;
    case QFont::Cursive: return kFamilyScript;
    case QFont::Decorative:
    case QFont::Fantasy: return kFamilyDecorative;
    default: return kFamilyDontCare;
  }
}

QFont::StyleHint HintOf(int family) {
  switch (family & 0xF0) {
    case kFamilyRoman: return QFont::Serif;
    case kFamilySwiss: return QFont::SansSerif;
    case kFamilyModern: return QFont::Monospace;
    case kFamilyScript: return QFont::Cursive;
    case kFamilyDecorative: return QFont::Decorative;
    default: return QFont::AnyStyle;
  }
}

}  // namespace

std::string LimitFaceName(const std::string& utf8Name) {
  const QString name = QString::fromStdString(utf8Name);
  return name.size() <= kMaxFaceNameLength ? utf8Name : name.left(kMaxFaceNameLength).toStdString();
}

FontSettings ReadFontSettings(const app::CSettings& settings) {
  FontSettings font;
  font.height = settings.ReadInt(kSection, "Height", 0);
  if (font.UsesViewFont()) return font;
  font.weight = settings.ReadInt(kSection, "Weight", 0);
  font.italic = settings.ReadInt(kSection, "Italic", 0);
  font.underline = settings.ReadInt(kSection, "Underline", 0);
  font.pitchAndFamily = settings.ReadInt(kSection, "PitchAndFamily", 0);
  font.charSet = settings.ReadInt(kSection, "CharSet", 0);
  font.faceName = LimitFaceName(settings.ReadString(kSection, "FaceName", "System"));
  return font;
}

std::vector<std::string> WriteChangedFontSettings(const app::CSettings& settings, const FontSettings& current,
                                                  const FontSettings& saved) {
  std::vector<std::string> written;
  const auto number = [&](const char* key, int now, int before) {
    if (now != before && settings.WriteInt(kSection, key, now)) written.emplace_back(key);
  };
  number("Height", current.height, saved.height);
  if (current.UsesViewFont()) return written;
  number("Weight", current.weight, saved.weight);
  number("Italic", current.italic, saved.italic);
  number("Underline", current.underline, saved.underline);
  number("PitchAndFamily", current.pitchAndFamily, saved.pitchAndFamily);
  number("CharSet", current.charSet, saved.charSet);
  const std::string face = LimitFaceName(current.faceName);
  if (face != saved.faceName && settings.WriteString(kSection, "FaceName", face)) written.emplace_back("FaceName");
  return written;
}

QFont FontFromSettings(const FontSettings& description, const QFont& viewFont) {
  if (description.UsesViewFont()) return viewFont;
  QFont font(QString::fromStdString(description.faceName));
  font.setPixelSize(std::max(1, std::abs(description.height)));
  font.setWeight(description.weight <= 0 ? QFont::Normal
                                         : static_cast<QFont::Weight>(std::clamp(description.weight, 1, 1000)));
  font.setItalic(description.italic != 0);
  font.setUnderline(description.underline != 0);
  font.setStyleHint(HintOf(description.pitchAndFamily));
  font.setFixedPitch((description.pitchAndFamily & 0x03) == kFixedPitch);
  return font;
}

FontSettings SettingsFromFont(const QFont& font, double dotsPerInch) {
  FontSettings description;
  const int pixels = font.pixelSize() > 0 ? font.pixelSize()
                                          : static_cast<int>(std::lround(font.pointSizeF() * dotsPerInch / 72.0));
  description.height = -std::max(1, pixels);
  description.weight = font.weight();
  description.italic = font.italic() ? 1 : 0;
  description.underline = font.underline() ? 1 : 0;
  description.pitchAndFamily = (font.fixedPitch() ? kFixedPitch : kVariablePitch) | FamilyOf(font.styleHint());
  // Comments are Polish text: the font is asked for the Central European letters.
  description.charSet = kCentralEuropeanCharSet;
  description.faceName = LimitFaceName(font.family().toStdString());
  return description;
}

}  // namespace vokar::comment
