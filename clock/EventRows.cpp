#include "EventRows.h"

#include <cstdio>

#include "ClockStrings.h"
#include "Cp1250.h"

namespace vokar::clock {
namespace {

constexpr std::size_t kShownTextBytes = 32;

std::string Format(const char* format, auto... values) {
  char text[96];
  const int n = std::snprintf(text, sizeof text, format, values...);
  return std::string(text, n < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(n), sizeof text - 1));
}

// Field values of events read from files are checked; these guards keep a
// damaged record in memory from reaching past the name tables.
std::string ShortWeekday(int weekday) {
  return weekday >= 0 && weekday <= 6 ? ClockTextCp1250(IDS_WEEKDAYS_SHORT + weekday) : std::string("?");
}
std::string ShortMonth(int month) {
  return month >= 0 && month <= 11 ? ClockTextCp1250(IDS_MONTHS_SHORT + month) : std::string("?");
}

unsigned U(int value) { return static_cast<unsigned>(value); }

}  // namespace

std::string EventTimeColumn(const EVENT_DSCR& event, unsigned char dateSeparator) {
  const CClockTime& t = event.time;
  if (dateSeparator == 0) dateSeparator = '/';
  std::string cp1250Text;
  switch (event.kind) {
    case RepeatKind::Hourly:
      cp1250Text = Format(":%02u", U(t.minute));
      break;
    case RepeatKind::Daily:
      cp1250Text = Format("%02u:%02u", U(t.hour), U(t.minute));
      break;
    case RepeatKind::Weekly:
      cp1250Text = Format("%2s %02u:%02u", ShortWeekday(t.weekday).c_str(), U(t.hour), U(t.minute));
      break;
    case RepeatKind::Monthly:
      cp1250Text = Format("%02u-go %02u:%02u", U(t.day), U(t.hour), U(t.minute));
      break;
    case RepeatKind::Yearly:
      cp1250Text = Format("%02u-go %3s %02u:%02u", U(t.day), ShortMonth(t.month).c_str(), U(t.hour), U(t.minute));
      break;
    case RepeatKind::OnDate: {
      const std::string date =
          Format("%02u%c%02u%c%02u", U(t.day), dateSeparator, U(t.month + 1), dateSeparator, U(t.year % 100));
      cp1250Text = Format("%8s %02u:%02u", date.c_str(), U(t.hour), U(t.minute));
      break;
    }
  }
  return cp1250::ToUtf8(cp1250Text);
}

std::string EventTextColumn(const std::string& cp1250Text) {
  std::string shown = cp1250Text.substr(0, kShownTextBytes);
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (static_cast<unsigned char>(shown[i]) < 32) {
      shown.resize(i);
      break;
    }
  }
  if (cp1250Text.size() > kShownTextBytes) shown += "...";
  return "\"" + cp1250::ToUtf8(shown) + "\"";
}

std::string TimeColumnSample(RepeatKind kind) {
  switch (kind) {
    case RepeatKind::Hourly:
      return ":55 ";
    case RepeatKind::Daily:
      return "24:55 ";
    case RepeatKind::Weekly:
      return "24:55 pt. ";
    case RepeatKind::Monthly:
      return "23-go 24:55 ";
    case RepeatKind::Yearly:
      return "23-go sty 24:55 ";
    case RepeatKind::OnDate:
      return "23/12/95 24:55 ";
  }
  return "23/12/95 24:55 ";
}

}  // namespace vokar::clock
