// What the window kit needs to know of a program to give its windows the parts
// every program of the suite shares: the name (the caption of its windows and
// message boxes), the icon, the about box's texts and the help page. Each
// program fills one from its own string table.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>

#include <string>

namespace vokar::app {

// The system menu's about item and the dialog it opens, as every program
// numbers them.
inline constexpr int ID_ABOUT = 16;
inline constexpr int IDD_ABOUT = 100;

// The first line of the about box (the name and version) stands out, or all
// lines are in the dialog's plain font.
enum class NameLine { Bold, Plain };

struct AboutBox {
  QString caption;    // "Informacja o Vokar"
  QStringList lines;  // "Vokar, wersja 1.1.95", "Moduł do syntezy mowy", ...
  NameLine nameLine = NameLine::Bold;
  // The picture at the left; the program's icon when null.
  QPixmap picture;
  int iconSize = 32;
  // The box's least size (its dialog units at the system font).
  QSize minimumSize{320, 150};
};

struct ProgramInfo {
  std::string title;      // "Vokar"
  QIcon icon;
  QString aboutMenuItem;  // "&Informacja o Vokaru..."; empty: the system menu has none
  AboutBox about;
  // The help page's file name, looked for in the work folder and then in
  // help/ of the suite's data folders.
  std::string helpPage;
  // What the program says when the page is in none of them; the places
  // looked in follow it, one a line.
  std::string helpNotFound;
};

}  // namespace vokar::app
