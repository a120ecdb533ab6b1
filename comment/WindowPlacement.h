// The main window's placement as the settings keep it ("Global"/"WindowPos"):
// ten numbers, "flags,show command,minimised x,y,maximised x,y,left,top,right,
// bottom". Flags 2 means "restore to maximised".
#pragma once

#include <QRect>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vokar::comment {

inline constexpr unsigned kRestoreToMaximized = 2;

struct WindowPlacement {
  unsigned flags = 0;
  unsigned showCmd = 1;
  int minX = -1, minY = -1;
  int maxX = -1, maxY = -1;
  int left = 0, top = 0, right = 0, bottom = 0;  // the normal rectangle; right and bottom exclusive

  QRect NormalRect() const { return QRect(left, top, right - left, bottom - top); }
  bool operator==(const WindowPlacement&) const = default;
};

// Nothing unless the text holds exactly ten decimal numbers separated by
// commas (blanks around them allowed), the first two not negative.
std::optional<WindowPlacement> ParseWindowPos(std::string_view text);

std::string FormatWindowPos(const WindowPlacement& placement);

// The normal rectangle made usable on the screens there are: nothing when it
// is empty or inverted; cut to the largest screen's size; moved onto the first
// screen when no screen shows any of it.
std::optional<QRect> UsableRect(const QRect& rect, const std::vector<QRect>& screens);

}  // namespace vokar::comment
