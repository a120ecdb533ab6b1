// The clock's string table: every text Horalo shows or speaks, by resource
// number, in UTF-8 as written here. The spoken words are spelled the way the
// speech engine must pronounce them ("pieńć", "dziewieńć"), so the phrases
// are read literally by the server.
#pragma once

#include <string>
#include <string_view>

namespace vokar::clock {

// Resource numbers the program uses by name; the word tables are reached by
// their first number plus an index.
enum StringId : int {
  IDS_MENU_ABOUT = 101,
  IDS_BUTTON_HOUR = 200,  // 200..206: the command buttons with their layout
  IDS_BUTTON_EXIT = 206,
  IDS_VERSION = 4000,
  IDS_DESCRIPTION = 4001,
  IDS_FILTER_SOUND = 4010,
  IDS_FILTER_EVENTS = 4011,
  IDS_FILTER_ADVICE = 4012,
  IDS_HELP_NAME = 4013,
  IDS_HOTKEY_NONE = 4070,
  IDS_HOTKEY_BUSY = 4071,
  IDS_HOTKEY_READ_HOUR = 4080,  // 4080..4084: the hot-key list texts
  IDS_UNITS = 4400,             // cardinals 0..10
  IDS_TEENS = 4411,             // 11..19, index value - 11
  IDS_TENS = 4420,              // 20..50, index value / 10 - 2
  IDS_ORDINAL_BASE = 4429,      // ordinal stem of n (1..20) is IDS_ORDINAL_BASE + n
  IDS_ORDINAL_TENS_BASE = 4447, // ordinal stem of the tens of n (20..99) is 4447 + n / 10
  IDS_CENTURY_1900 = 4457,
  IDS_CENTURY_2000S = 4458,
  IDS_YEAR_2000 = 4459,
  IDS_WEEKDAYS = 4460,          // Monday .. Sunday
  IDS_WEEKDAYS_SHORT = 4470,
  IDS_MONTHS_SHORT = 4500,
  IDS_MONTHS_GENITIVE = 4520,
  IDS_REPEAT_KINDS = 4600,      // the six repeat kinds
  IDS_YEAR_NOUN = 4606,
  IDS_TITLE = 57344,
};

// The text of a resource in UTF-8; empty for a number the table lacks.
std::string_view ClockText(int id);
// The same in code page 1250, the form the speech server takes.
std::string ClockTextCp1250(int id);

}  // namespace vokar::clock
