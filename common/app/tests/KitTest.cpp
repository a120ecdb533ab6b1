// The window kit in the test's process, on Qt's offscreen platform: Qt's
// texts in Polish, the about box from a program's description, the system
// menu and how it opens, the tray's menu and buttons, the help page (found,
// missing, no browser: the launcher is a script of the test's own), the
// filters of file dialogs and the names a screen reader says.
#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "AboutBox.h"
#include "Application.h"
#include "HelpPage.h"
#include "KitStrings.h"
#include "SystemMenu.h"
#include "TestFolder.h"
#include "TrayIcon.h"
#include "Widgets.h"

namespace {

using namespace vokar;

class Kit : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "kit_test";
    static char* argv[] = {name, nullptr};
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    application = new app::CApplication(argc, argv, "Test", app::FirstStartRegistration::Never);
  }
  static void TearDownTestSuite() {
    delete application;
    application = nullptr;
  }
  static void Process(int ms = 20) {
    QTest::qWait(ms);
  }
  static app::ProgramInfo Program() {
    app::ProgramInfo program;
    program.title = "Próbny";
    program.icon = app::DrawIcon({16, 32}, [](QPainter& p, int size) { p.fillRect(0, 0, size, size, Qt::blue); });
    program.aboutMenuItem = QStringLiteral("&Informacja o Próbnym...");
    program.about.caption = QStringLiteral("Informacja o Próbnym");
    program.about.lines = {QStringLiteral("Próbny, wersja 1.1.95"), QStringLiteral("Program do prób")};
    program.helpPage = "probny.html";
    program.helpNotFound = "Nie znaleziono pomocy Próbnego:";
    return program;
  }
  // Runs the action while the dialog it opens is inspected and closed.
  static QStringList TextsOfModal(const std::function<void()>& open, QString* caption = nullptr) {
    QStringList texts;
    QTimer::singleShot(50, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr) return;
      if (caption != nullptr) *caption = modal->windowTitle();
      for (const auto* label : modal->findChildren<QLabel*>())
        if (!label->text().isEmpty()) texts << label->text();
      for (const auto* button : modal->findChildren<QPushButton*>()) texts << "[" + button->text() + "]";
      modal->close();
    });
    open();
    return texts;
  }
  static inline app::CApplication* application = nullptr;
};

TEST_F(Kit, QtsOwnButtonsSpeakPolish) {
  ASSERT_TRUE(application->PolishQtTexts()) << "qt6-translations-l10n is not installed";
  QMessageBox box(QMessageBox::Question, "Vokar", "Czy na pewno?", QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(box.button(QMessageBox::Yes)->text(), "&Tak");
  EXPECT_EQ(box.button(QMessageBox::No)->text(), "&Nie");
  QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), "Anuluj");
}

TEST_F(Kit, TheAboutBoxShowsTheProgramsLinesAndGivesTheFocusBack) {
  QDialog window;
  auto* field = new QPushButton("pole", &window);
  auto* other = new QPushButton("inne", &window);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  field->setFocus();
  Process();
  ASSERT_EQ(QApplication::focusWidget(), field);
  QString caption;
  // Meanwhile the window's focus moves (a timer, another program's request).
  QTimer::singleShot(30, other, [other] { other->setFocus(); });
  const QStringList texts = TextsOfModal([&] { app::ShowAboutBox(Program(), &window); }, &caption);
  EXPECT_EQ(caption, QString::fromUtf8("Informacja o Próbnym"));
  EXPECT_EQ(texts, (QStringList{QString::fromUtf8("Próbny, wersja 1.1.95"), "Program do prób", "[OK]"}));
  EXPECT_EQ(window.focusWidget(), field) << "the control that had the focus has it again";

  const app::CAboutDlg about(Program(), &window);
  EXPECT_EQ(about.objectName(), "dialog100");
  const auto labels = about.findChildren<QLabel*>();
  ASSERT_EQ(labels.size(), 3);  // the picture and the two lines
  EXPECT_FALSE(labels[0]->pixmap().isNull());
  EXPECT_TRUE(labels[1]->font().bold()) << "the name and version stand out";
  EXPECT_FALSE(labels[2]->font().bold());
  EXPECT_EQ(about.accessibleName(), QString::fromUtf8("Informacja o Próbnym"));
  EXPECT_GE(about.width(), 320);
}

TEST_F(Kit, TheSystemMenuHoldsTheProgramsItemsAboutMinimiseAndClose) {
  QDialog window;
  window.show();
  int abouts = 0;
  auto* menu = new app::CSystemMenu(&window, Program(), [&] { ++abouts; });
  menu->SetOwnItems([](QMenu& m) { m.addAction("C&zytaj"); });
  auto built = menu->Build();
  QStringList texts;
  for (const QAction* action : built->actions())
    if (!action->isSeparator()) texts << action->text();
  EXPECT_EQ(texts, (QStringList{"C&zytaj", QString::fromUtf8("&Informacja o Próbnym..."), "Mi&nimalizuj", "Za&mknij"}));
  EXPECT_EQ(built->actions()[2]->data().toInt(), app::ID_ABOUT);

  built->actions()[2]->trigger();
  Process();
  EXPECT_EQ(abouts, 1) << "the about item opens the about box, from the event loop";

  // Minimise and close act on the window.
  for (QAction* action : built->actions())
    if (action->text() == "Mi&nimalizuj") action->trigger();
  Process();
  EXPECT_TRUE(window.isMinimized());
  window.showNormal();
  const auto again = menu->Build();
  for (QAction* action : again->actions())
    if (action->text() == "Za&mknij") action->trigger();
  Process();
  EXPECT_FALSE(window.isVisible());
}

TEST_F(Kit, TheSystemMenuOpensWithShiftF10AndTheMenuKeyAndTheRightButtonWhereItsTheMenus) {
  for (const app::RightButton right : {app::RightButton::OpensMenu, app::RightButton::LeftToTheWindow}) {
    QDialog window;
    auto* button = new QPushButton("Przycisk", &window);
    window.show();
    button->setFocus();
    Process();
    auto* menu = new app::CSystemMenu(&window, Program(), [] {}, right);

    // Shift+F10 pressed on a control reaches the window.
    QTest::keyClick(button, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_NE(menu->openMenu(), nullptr);
    EXPECT_TRUE(menu->openMenu()->isVisible());
    menu->openMenu()->close();

    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(5, 5), window.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&window, &key);
    EXPECT_TRUE(menu->openMenu()->isVisible()) << "the menu key opens it";
    menu->openMenu()->close();

    QContextMenuEvent mouse(QContextMenuEvent::Mouse, QPoint(5, 5), window.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&window, &mouse);
    EXPECT_EQ(menu->openMenu()->isVisible(), right == app::RightButton::OpensMenu);
    menu->openMenu()->close();
  }
}

TEST_F(Kit, TheTrayOpensItsMenuWithItsStateAndBringsTheWindowForward) {
  QDialog window;
  window.show();
  Process();
  app::CTrayIcon tray(&window, QString(70, QLatin1Char('x')), QIcon());
  EXPECT_EQ(tray.icon()->toolTip().size(), 63) << "a tip holds at most 63 characters";
  int started = 0;
  QAction* item = tray.AddItem("C&zytaj", [&] { ++started; });
  tray.BeforeMenuOpens([item] { item->setText("Pau&za"); });
  tray.Click(true);
  EXPECT_TRUE(tray.menu()->isVisible());
  EXPECT_EQ(item->text(), "Pau&za");
  item->trigger();
  EXPECT_EQ(started, 1);
  tray.menu()->close();

  window.showMinimized();
  Process();
  tray.Click(false);
  Process(50);
  EXPECT_FALSE(window.isMinimized());
}

class HelpPage : public Kit {
 protected:
  void SetUp() override {
    pathBefore_ = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    dataBefore_ = std::getenv("VOKAR_DATA_DIR") != nullptr ? std::getenv("VOKAR_DATA_DIR") : "";
    std::filesystem::create_directories(folder_ / "bin");
    ::setenv("PATH", (folder_ / "bin").c_str(), 1);
    ::setenv("VOKAR_DATA_DIR", (folder_ / "data").c_str(), 1);
  }
  void TearDown() override {
    ::setenv("PATH", pathBefore_.c_str(), 1);
    ::setenv("VOKAR_DATA_DIR", dataBefore_.c_str(), 1);
  }
  // An xdg-open of the test's own: it writes what it was asked to open and
  // ends with the exit code given (3: xdg-open's "no tool to open it").
  void Launcher(int exitCode) {
    const auto script = folder_.Write("bin/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$1\" > \"" +
                                                          (folder_ / "opened").string() + "\"\nexit " +
                                                          std::to_string(exitCode) + "\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  }
  std::string Opened() const {
    std::ifstream in(folder_ / "opened");
    std::string line;
    std::getline(in, line);
    return line;
  }
  vokar::test::TestFolder folder_{"help"};
  std::vector<std::string> told_;
  app::TellUser tell_ = [this](const std::string& text) { told_.push_back(text); };

 private:
  std::string pathBefore_;
  std::string dataBefore_;
};

TEST_F(HelpPage, TheWorkFolderComesBeforeTheInstalledPages) {
  const auto places = app::HelpPlaces("probny.html", (folder_ / "work/").string());
  ASSERT_EQ(places.size(), 2u);
  EXPECT_EQ(places[0], folder_ / "work" / "probny.html");
  EXPECT_EQ(places[1], folder_ / "data" / "help" / "probny.html");
  EXPECT_EQ(app::HelpPlaces("probny.html", "").size(), 1u) << "no work folder, only the installed page";
}

TEST_F(HelpPage, APageFoundIsHandedToTheLauncherAndNothingIsSaid) {
  folder_.Write("data/help/probny.html", "<html></html>");
  Launcher(0);
  EXPECT_EQ(app::OpenHelpPage(Program(), "", nullptr, tell_), app::HelpOutcome::Opening);
  QTest::qWait(600);
  EXPECT_EQ(Opened(), (folder_ / "data" / "help" / "probny.html").string());
  EXPECT_TRUE(told_.empty());
  // The work folder's page is taken first.
  folder_.Write("work/probny.html", "<html></html>");
  EXPECT_EQ(app::OpenHelpPage(Program(), (folder_ / "work").string(), nullptr, tell_), app::HelpOutcome::Opening);
  QTest::qWait(600);
  EXPECT_EQ(Opened(), (folder_ / "work" / "probny.html").string());
  EXPECT_TRUE(told_.empty());
}

TEST_F(HelpPage, ALauncherThatFindsNoBrowserIsSaidWithThePagesPath) {
  folder_.Write("data/help/probny.html", "<html></html>");
  Launcher(3);
  EXPECT_EQ(app::OpenHelpPage(Program(), "", nullptr, tell_), app::HelpOutcome::Opening);
  for (int i = 0; i < 100 && told_.empty(); ++i) QTest::qWait(20);
  ASSERT_EQ(told_.size(), 1u);
  const std::string page = (folder_ / "data" / "help" / "probny.html").string();
  EXPECT_EQ(told_[0], std::string(app::text::kNoBrowser) + "\n" + page);
}

TEST_F(HelpPage, NoLauncherAtAllIsSaidAtOnce) {
  folder_.Write("data/help/probny.html", "<html></html>");
  // The offscreen platform opens nothing either.
  EXPECT_EQ(app::OpenHelpPage(Program(), "", nullptr, tell_), app::HelpOutcome::NoBrowser);
  ASSERT_EQ(told_.size(), 1u);
  EXPECT_NE(told_[0].find((folder_ / "data" / "help" / "probny.html").string()), std::string::npos);
  EXPECT_EQ(told_[0].rfind("Nie można otworzyć pomocy", 0), 0u);
}

TEST_F(HelpPage, APageThatIsNowhereIsSaidWithThePlacesLookedIn) {
  Launcher(0);
  EXPECT_EQ(app::OpenHelpPage(Program(), (folder_ / "work/").string(), nullptr, tell_), app::HelpOutcome::NotFound);
  ASSERT_EQ(told_.size(), 1u);
  EXPECT_EQ(told_[0], "Nie znaleziono pomocy Próbnego:\n" + (folder_ / "work" / "probny.html").string() + "\n" +
                          (folder_ / "data" / "help" / "probny.html").string());
  EXPECT_EQ(Opened(), "") << "nothing was launched";
}

TEST_F(Kit, TheSuitesIconsAreCarriedAtEverySize) {
  const QIcon icon = app::SuiteIcon(QStringLiteral("quillmark-sievo"));
  ASSERT_FALSE(icon.isNull());
  EXPECT_EQ(icon.availableSizes(), (QList<QSize>{{16, 16}, {32, 32}, {48, 48}}));
  // The picture of packaging/icons/quillmark-sievo.svg: the tile's teal below
  // its lighter top, white where the computers stand.
  const QImage large = icon.pixmap(48, 48).toImage();
  EXPECT_EQ(large.pixelColor(4, 40).name(), "#17808a");
  EXPECT_EQ(large.pixelColor(13, 17).name(), "#ffffff");
  EXPECT_TRUE(app::SuiteIcon(QStringLiteral("quillmark-nieznany")).isNull());
}

TEST_F(Kit, AFileFieldsButtonSaysWhatItChooses) {
  QWidget page;
  const app::FileField field =
      app::MakeFileField(QStringLiteral("P&lik z poradami:"), QStringLiteral("Wybierz plik z poradami"), &page);
  EXPECT_EQ(field.label->buddy(), field.path) << "the label's mnemonic leads to the path";
  EXPECT_TRUE(field.path->isReadOnly());
  EXPECT_EQ(field.browse->text(), "...");
  EXPECT_EQ(field.browse->accessibleName(), "Wybierz plik z poradami");
  EXPECT_EQ(field.browse->toolTip(), "Wybierz plik z poradami");
  EXPECT_FALSE(field.browse->autoDefault()) << "Enter in the page never chooses a file";
  EXPECT_EQ(field.row->count(), 2);
}

TEST(Widgets, FileFiltersAsQtWritesThem) {
  EXPECT_EQ(app::QtFileFilter(QString::fromUtf8("Słownik (*.exp) |*.exp| Wszystkie pliki (*.*) |*.*||")),
            QString::fromUtf8("Słownik (*.exp);;Wszystkie pliki (*)"));
  EXPECT_EQ(app::QtFileFilter("Porady|*.txt|"), "Porady (*.txt)");
  EXPECT_EQ(app::QtFileFilter("|*.txt|Bez wzoru||"), "") << "a part without description or pattern is left out";
}

TEST(Widgets, NamesAScreenReaderSays) {
  EXPECT_EQ(app::ScreenReaderName(QString::fromUtf8("&Informacja o Klavou...")), "Informacja o Klavou");
  EXPECT_EQ(app::ScreenReaderName("Ko&mbinacja:"), "Kombinacja");
  EXPECT_EQ(app::ScreenReaderName(" Klawisze sk&rótu "), QString::fromUtf8("Klawisze skrótu"));
  EXPECT_EQ(app::ScreenReaderName("Echo && mowa"), "Echo & mowa");
  EXPECT_EQ(app::ScreenReaderName(QString::fromUtf8("&Czcionka…")), "Czcionka");
}

}  // namespace
