// The server's main window in this process, headless: its controls and
// captions, the speed slider and its label, the read button following the
// clipboard, the controls during a job, the check boxes changing what the
// next job says, the dictionary chooser, drops, the right button, the tray's
// and the system menu's logic, the logo, and the locale read again.
#include <gtest/gtest.h>

#include <limits.h>

#include <sstream>
#include <string>
#include <vector>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "Application.h"
#include "Cp1250.h"
#include "Dib.h"
#include "ServerApp.h"
#include "ServerIds.h"
#include "support/ServerFixture.h"

namespace {

using namespace vokar;
using namespace vokar::server;
using namespace vokar::servertest;

app::CApplication& Application() {
  static int argc = 1;
  static char name[] = "vokar";
  static char* argv[] = {name, nullptr};
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static app::CApplication* application = new app::CApplication(argc, argv, "Vokar");
  return *application;
}

class ServerWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    Application();
    QGuiApplication::clipboard()->clear();
  }
  void TearDown() override {
    if (app_) {
      if (app_->dialog) app_->dialog->Destroy();
      app_->Exit();
      app_.reset();
    }
  }

  // Short pauses make short jobs, for tests that run many.
  void ShortPauses() {
    auto key = registry::Key::Create(registry::Root::CurrentUser, "Software\\Quillmark\\Vokar\\Sound");
    ASSERT_TRUE(key.ok());
    ASSERT_TRUE(key->Set("PauseInterSentence", std::uint32_t{10}).ok());
    ASSERT_TRUE(key->Set("PausePunctation", std::uint32_t{5}).ok());
  }

  void Start(const std::vector<std::string>& arguments = {"/L-"}) {
    app_ = std::make_unique<CServerApp>(Application());
    ASSERT_EQ(app_->Start(arguments), CServerApp::StartResult::Run);
    ASSERT_TRUE(app_->CreateMainWindow());
    dialog_ = app_->dialog.get();
  }

  template <typename T>
  T* Control(int id) {
    auto* control = qobject_cast<T*>(dialog_->Control(id));
    EXPECT_NE(control, nullptr) << id;
    return control;
  }

  static void Process(int ms = 0) {
    if (ms == 0) {
      QCoreApplication::processEvents();
      return;
    }
    QTest::qWait(ms);
  }

  // Runs events until a job has run to its end; the bytes it wrote.
  std::size_t RunJob() {
    const std::size_t before = world_.WavBytes();
    const auto deadline = Clock::now() + 20s;
    while (world_.WavBytes() == before && Clock::now() < deadline)
      QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    EXPECT_FALSE(dialog_->job().Busy());
    return world_.WavBytes() - before;
  }

  std::size_t ReadClipboard(const std::string& utf8) {
    QGuiApplication::clipboard()->setText(QString::fromStdString(utf8));
    Process();
    dialog_->commands().Dispatch(ID_READ_CLIPBOARD);
    return RunJob();
  }

  ServerWorld world_;
  std::unique_ptr<CServerApp> app_;
  CServerDlg* dialog_ = nullptr;
};

TEST_F(ServerWindow, ControlsCaptionsAndMnemonics) {
  Start();
  EXPECT_EQ(dialog_->windowTitle(), "Vokar");
  EXPECT_EQ(desktop::FindWindow("Vokar"), dialog_->busHandle());
  struct Case {
    int id;
    const char* text;
  };
  const Case buttons[] = {{IDC_READ, "C&zytaj"},  {IDC_BREAK, "&Przerwij"}, {IDC_TEST, "&Testuj"},
                          {IDC_INFO, "&Info..."}, {IDC_HELP, "Pomo&c..."},  {IDC_EXIT, "&Koniec"},
                          {IDC_HOTKEY_APPLY, "Wpr&owadź zmianę"}, {IDC_DICT_BROWSE, "..."}};
  for (const auto& c : buttons) EXPECT_EQ(Control<QPushButton>(c.id)->text(), QString::fromUtf8(c.text)) << c.id;
  const Case checks[] = {{IDC_USE_DICT, "&Skoryguj wypowiedź wg słownika:"},
                         {IDC_CONVERT_NUMBER, "Cz&ytaj pełne liczby"},
                         {IDC_CONVERT_DATE, "Z&amieniaj daty na postać słowną"},
                         {IDC_CONVERT_CAPS, "&Literuj słowa złożone z wielkich liter"},
                         {IDC_ACCENT_EVERY_WORD, "Akce&ntuj każde słowo"},
                         {IDC_COLLOQUIAL, "Stosuj &wymowę potoczną"}};
  for (const auto& c : checks) EXPECT_EQ(Control<QCheckBox>(c.id)->text(), QString::fromUtf8(c.text)) << c.id;
  QStringList groups;
  for (const QGroupBox* group : dialog_->findChildren<QGroupBox*>()) groups << group->title();
  groups.sort();
  EXPECT_EQ(groups, (QStringList{QString::fromUtf8(" Klawisze sk&rótu "), QStringLiteral("Konwersje"),
                                 QString::fromUtf8("Prę&dkość"), QString::fromUtf8("Słownik skrótów i wyjątków")}));
  EXPECT_TRUE(Control<QLineEdit>(IDC_HOTKEY_EDIT)->isReadOnly());
  EXPECT_TRUE(Control<QLineEdit>(IDC_DICT_NAME)->isReadOnly());
  EXPECT_EQ(Control<QListWidget>(IDC_HOTKEY_LIST)->count(), 3);
  EXPECT_EQ(Control<QListWidget>(IDC_HOTKEY_LIST)->accessibleName(), "Klawisze skrótu") << "the group names its list";
  EXPECT_FALSE(Control<QPushButton>(IDC_BREAK)->isEnabled());
  EXPECT_TRUE(Control<QPushButton>(IDC_READ)->isDefault());
  // Without a dictionary the check box is off.
  EXPECT_FALSE(Control<QCheckBox>(IDC_USE_DICT)->isEnabled());
  EXPECT_EQ(dialog_->CurrentIcon(), StateIcon::Idle);
}

TEST_F(ServerWindow, SpeedSliderAndItsLabel) {
  auto key = registry::Key::Create(registry::Root::CurrentUser, "Software\\Quillmark\\Vokar\\Sound");
  ASSERT_TRUE(key->Set("Tunning", std::uint32_t{20}).ok());
  Start();
  auto* slider = Control<QSlider>(IDC_SPEED);
  auto* label = Control<QLabel>(IDC_SPEED_LABEL);
  // What a screen reader reads of the slider must be the number the label shows.
  const auto readValue = [slider] {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(slider);
    return accessible && accessible->valueInterface() ? accessible->valueInterface()->currentValue().toInt() : -999;
  };
  EXPECT_EQ(slider->minimum(), -50);
  EXPECT_EQ(slider->maximum(), 50);
  EXPECT_EQ(slider->pageStep(), 5);
  EXPECT_EQ(slider->tickInterval(), 10);
  EXPECT_EQ(label->text(), "20");
  EXPECT_EQ(readValue(), 20);
  EXPECT_EQ(dialog_->SpeedSlider(), -20) << "the reading job knows the slider by its position";
  slider->setFocus();
  QTest::keyClick(slider, Qt::Key_Home);
  EXPECT_EQ(label->text(), "-50") << "Home moves the thumb to the bottom, the slowest";
  EXPECT_EQ(readValue(), -50);
  EXPECT_EQ(dialog_->SpeedSlider(), 50);
  QTest::keyClick(slider, Qt::Key_End);
  EXPECT_EQ(label->text(), "50") << "End moves it to the top, the fastest";
  EXPECT_EQ(readValue(), 50);
  QTest::keyClick(slider, Qt::Key_Down);
  EXPECT_EQ(label->text(), "49") << "down moves the thumb down, towards slower speech";
  QTest::keyClick(slider, Qt::Key_PageDown);
  EXPECT_EQ(label->text(), "44");
  EXPECT_EQ(readValue(), 44);
  QTest::keyClick(slider, Qt::Key_Up);
  QTest::keyClick(slider, Qt::Key_PageUp);
  EXPECT_EQ(label->text(), "50") << "Up and Page Up make speech faster";
  QTest::keyClick(slider, Qt::Key_PageDown);
  QTest::keyClick(slider, Qt::Key_PageDown);
  EXPECT_EQ(label->text(), "40");
  EXPECT_EQ(dialog_->SpeedSlider(), -40);
  struct Case {
    int position;
    int expected;
    const char* text;
  };
  const Case cases[] = {{-51, -50, "50"}, {-50, -50, "50"}, {0, 0, "0"}, {50, 50, "-50"}, {51, 50, "-50"}};
  for (const auto& c : cases) {
    dialog_->SetSpeedSlider(c.position);
    EXPECT_EQ(dialog_->SpeedSlider(), c.expected);
    EXPECT_EQ(label->text(), c.text);
    EXPECT_EQ(readValue(), -c.expected);
  }
  dialog_->SetSpeedSlider(-30);
  dialog_->Destroy();
  EXPECT_EQ(app_->settings.ReadInt("Sound", "Tunning", 0), 30);
}

TEST_F(ServerWindow, TheReadButtonFollowsTheClipboard) {
  Start();
  auto* read = Control<QPushButton>(IDC_READ);
  auto* test = Control<QPushButton>(IDC_TEST);
  QGuiApplication::clipboard()->setText("Raz.");
  Process();
  EXPECT_TRUE(read->isEnabled());
  read->setFocus();
  QGuiApplication::clipboard()->clear();
  Process();
  dialog_->OnTimer();
  EXPECT_FALSE(read->isEnabled());
  EXPECT_TRUE(test->hasFocus());
}

TEST_F(ServerWindow, ControlsDuringAJobAndAfterIt) {
  Start();
  std::map<int, bool> enabledDuring;
  QString readText;
  bool dropsDuring = true;
  StateIcon iconDuring = StateIcon::Idle;
  QTimer::singleShot(300, dialog_, [&] {
    for (const int id : {IDC_READ, IDC_BREAK, IDC_TEST, IDC_INFO, IDC_HOTKEY_APPLY, IDC_DICT_BROWSE, IDC_EXIT})
      enabledDuring[id] = dialog_->Control(id)->isEnabled();
    readText = Control<QPushButton>(IDC_READ)->text();
    dropsDuring = dialog_->acceptDrops();
    iconDuring = dialog_->CurrentIcon();
    dialog_->commands().Dispatch(IDC_READ);  // pause
  });
  QTimer::singleShot(500, dialog_, [&] {
    EXPECT_EQ(dialog_->CurrentIcon(), StateIcon::Paused);
    EXPECT_EQ(Control<QPushButton>(IDC_READ)->text(), "C&zytaj");
    if (app_->dialog->tray()) {
      EXPECT_FALSE(app_->dialog->tray()->icon().isNull());
    }
    // Esc breaks a paused job at once; the window stays.
    QTest::keyClick(dialog_, Qt::Key_Escape);
  });
  ReadClipboard("Raz. Dwa. Trzy. Cztery.");
  EXPECT_EQ(enabledDuring, (std::map<int, bool>{{IDC_READ, true}, {IDC_BREAK, true}, {IDC_TEST, false},
                                                {IDC_INFO, false}, {IDC_HOTKEY_APPLY, false},
                                                {IDC_DICT_BROWSE, false}, {IDC_EXIT, true}}));
  EXPECT_EQ(readText, "Pau&za");
  EXPECT_FALSE(dropsDuring);
  EXPECT_EQ(iconDuring, StateIcon::Playing);
  EXPECT_FALSE(Control<QPushButton>(IDC_BREAK)->isEnabled());
  EXPECT_TRUE(Control<QPushButton>(IDC_TEST)->isEnabled());
  EXPECT_TRUE(dialog_->acceptDrops());
  EXPECT_TRUE(Control<QPushButton>(IDC_READ)->hasFocus()) << "after a break the focus returns to the read button";
  EXPECT_TRUE(dialog_->isVisible());
  EXPECT_FALSE(dialog_->ExitPending());
  EXPECT_EQ(dialog_->CurrentIcon(), StateIcon::Idle);
}

TEST_F(ServerWindow, CheckBoxesChangeWhatTheNextJobSays) {
  ShortPauses();
  Start();
  struct Case {
    int box;
    const char* text;
  };
  const Case cases[] = {{IDC_CONVERT_NUMBER, "Mam 125 lat."},
                        {IDC_CONVERT_DATE, "Dnia 12/03/1996."},
                        {IDC_CONVERT_CAPS, "To NATO."},
                        {IDC_ACCENT_EVERY_WORD, "Ala ma kota i psa."},
                        {IDC_COLLOQUIAL, "Mąż wziął książkę."}};
  for (const auto& c : cases) {
    auto* box = Control<QCheckBox>(c.box);
    const bool initial = box->isChecked();
    const std::size_t first = ReadClipboard(c.text);
    box->setChecked(!initial);
    const std::size_t changed = ReadClipboard(c.text);
    box->setChecked(initial);
    const std::size_t again = ReadClipboard(c.text);
    EXPECT_NE(first, changed) << c.text;
    EXPECT_EQ(first, again) << c.text;
  }
  // The states are saved at the end.
  Control<QCheckBox>(IDC_ACCENT_EVERY_WORD)->setChecked(true);
  Control<QCheckBox>(IDC_CONVERT_DATE)->setChecked(false);
  dialog_->Destroy();
  EXPECT_EQ(app_->settings.ReadString("Conversions", "FluentSpeech", ""), "No");
  EXPECT_EQ(app_->settings.ReadString("Conversions", "ConvertDate", ""), "No");
  EXPECT_EQ(app_->settings.ReadString("Conversions", "ConvertNumber", ""), "Yes");
}

TEST_F(ServerWindow, TheDictionaryChooserLoadsOrEmpties) {
  ShortPauses();
  Start();
  const auto good = world_.folder().Write("skroty.exp", "np. na przykład\n");
  const std::size_t plain = ReadClipboard("To np. tak.");
  dialog_->LoadDictionaryFrom(good.string());
  EXPECT_EQ(Control<QLineEdit>(IDC_DICT_NAME)->text(), "skroty.exp");
  EXPECT_TRUE(Control<QCheckBox>(IDC_USE_DICT)->isEnabled());
  EXPECT_EQ(dialog_->dictionaryPath(), good.string());
  const std::size_t corrected = ReadClipboard("To np. tak.");
  EXPECT_NE(plain, corrected) << "the dictionary changed nothing";
  Control<QCheckBox>(IDC_USE_DICT)->setChecked(false);
  EXPECT_EQ(ReadClipboard("To np. tak."), plain);
  // A folder, a FIFO or a missing file is no dictionary.
  dialog_->LoadDictionaryFrom((world_.folder() / "brak.exp").string());
  EXPECT_EQ(Control<QLineEdit>(IDC_DICT_NAME)->text(), "");
  EXPECT_FALSE(Control<QCheckBox>(IDC_USE_DICT)->isEnabled());
  EXPECT_EQ(dialog_->dictionaryPath(), "");
  dialog_->Destroy();
  EXPECT_EQ(app_->settings.ReadString("Dictionary", "ExpDict", "x"), "");
}

TEST_F(ServerWindow, DroppedFilesAreReadOneAtATime) {
  Start();
  const auto first = world_.folder().Write("pierwszy.txt", "Raz.");
  const auto second = world_.folder().Write("drugi.txt", "Raz. Dwa. Trzy. Cztery. Pięć.");
  auto drop = [&](const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    // As the desktop delivers a drop: the drag enters first.
    QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(dialog_, &enter);
    QDropEvent event(QPointF(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(dialog_, &event);
  };
  drop({QUrl::fromLocalFile(QString::fromStdString(first.string())),
        QUrl::fromLocalFile(QString::fromStdString(second.string()))});
  const std::size_t onlyFirst = RunJob();
  dialog_->ReadFileIntoBuffer(first.string());
  EXPECT_EQ(RunJob(), onlyFirst) << "only the first of the dropped files is read";
  // A drop while a job runs does nothing.
  QTimer::singleShot(300, dialog_, [&] { drop({QUrl::fromLocalFile(QString::fromStdString(first.string()))}); });
  dialog_->ReadFileIntoBuffer(second.string());
  const std::size_t whole = RunJob();
  EXPECT_GT(whole, onlyFirst);
  Process(700);
  EXPECT_EQ(world_.WavBytes(), 2 * onlyFirst + whole) << "the drop during the job was read";
  // A drop of a missing file says why.
  drop({QUrl::fromLocalFile(QString::fromStdString((world_.folder() / "brak.txt").string()))});
  Process();
  const auto messages = world_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Błąd otwarcia pliku: " + (world_.folder() / "brak.txt").string() +
                                  "\nPlik nie został znaleziony");
}

TEST_F(ServerWindow, ADroppedUTF8FileIsReadAsUTF8) {
  Start();
  const std::string text = "Zażółć gęślą jaźń.";
  const auto cp1250File = world_.folder().Write("cp1250.txt", cp1250::FromUtf8(text));
  const auto utf8File = world_.folder().Write("utf8.txt", text);
  auto drop = [&](const std::filesystem::path& file) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file.string()))});
    QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(dialog_, &enter);
    QDropEvent event(QPointF(2, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(dialog_, &event);
  };
  drop(cp1250File);
  const std::size_t fromCp1250 = RunJob();
  ASSERT_GT(fromCp1250, 0u);
  EXPECT_EQ(app_->text.Text(), cp1250::FromUtf8(text));
  drop(utf8File);
  EXPECT_EQ(RunJob(), fromCp1250);
  EXPECT_EQ(app_->text.Text(), cp1250::FromUtf8(text)) << "the UTF-8 bytes were taken for code page 1250";
  EXPECT_TRUE(world_.Messages().empty());
}

TEST_F(ServerWindow, AFileOfMoreThanTheBufferTakesIsCutAtTheBuffer) {
  Start();
  // UTF-8 and code page 1250 alike: the buffer gets its 65279 bytes. Of a
  // UTF-8 file four bytes a character are read (261116); "x" and then
  // "żółw " (8 bytes) put the lead byte of an "ó" on the last of them, so
  // that the limit cuts it in two: the rest is still UTF-8, not code page 1250.
  constexpr std::size_t kReadLimit = 4 * 65279;
  std::string utf8 = "x";
  std::string expected = "x";  // "żółw " in code page 1250: BF F3 B3 77 20
  while (utf8.size() < kReadLimit + 10) {
    utf8 += "żółw ";
    expected += "\xBF\xF3\xB3w ";
  }
  ASSERT_EQ(utf8.substr(kReadLimit - 3, 4), "\xC5\xBC\xC3\xB3") << "the limit must fall inside the ó";
  const auto utf8File = world_.folder().Write("dlugi.txt", utf8);
  bool queued = false;
  ASSERT_EQ(dialog_->LoadFileIntoBuffer(utf8File.string(), queued), files::FileError::None);
  EXPECT_TRUE(queued);
  EXPECT_EQ(app_->text.Text(), expected.substr(0, 65279));
  const std::string bytes(65279 + 100, '\xB9');
  const auto cp1250File = world_.folder().Write("dlugi1250.txt", bytes);
  ASSERT_EQ(dialog_->LoadFileIntoBuffer(cp1250File.string(), queued), files::FileError::None);
  EXPECT_EQ(app_->text.Text(), std::string(65279, '\xB9'));
  // The jobs queued are never run: the window goes first.
}

// The box of the files that could not be read names ten of them with their
// causes; an eleventh is only counted.
TEST_F(ServerWindow, TheUnreadableFilesBoxNamesTenAndCountsTheRest) {
  Start();
  auto box = [&](int files) {
    for (int i = 0; i < files; ++i) dialog_->QueueFile((world_.folder() / ("brak" + std::to_string(i) + ".txt")).string());
    const std::size_t before = world_.Messages().size();
    dialog_->OnReadNextFile();
    const auto messages = world_.Messages();
    EXPECT_EQ(messages.size(), before + 1);
    std::vector<std::string> lines;
    std::istringstream in(messages.empty() ? std::string() : messages.back().text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  };
  const auto named = [&](int i) { return "Błąd otwarcia pliku: " + (world_.folder() / ("brak" + std::to_string(i) + ".txt")).string(); };

  auto lines = box(10);
  ASSERT_EQ(lines.size(), 1u + 2 * 10) << "ten files are all named, and nothing is counted";
  EXPECT_EQ(lines.front(), "Nie można odczytać 10 plików z kolejki:");
  EXPECT_EQ(lines[1], named(0));
  EXPECT_EQ(lines[2], "Plik nie został znaleziony");
  EXPECT_EQ(lines[19], named(9));
  EXPECT_EQ(lines[20], "Plik nie został znaleziony");

  lines = box(11);
  ASSERT_EQ(lines.size(), 1u + 2 * 10 + 1);
  EXPECT_EQ(lines.front(), "Nie można odczytać 11 plików z kolejki:");
  EXPECT_EQ(lines[19], named(9));
  EXPECT_EQ(lines.back(), "(i jeszcze 1)");
  EXPECT_TRUE(dialog_->fileQueue().empty());
  EXPECT_EQ(world_.WavBytes(), 0u);
}

TEST_F(ServerWindow, RightButtonReadsTheClipboardUnlessCtrlIsHeld) {
  Start();
  QGuiApplication::clipboard()->setText("Raz.");
  Process();
  const QPoint background(2, 2);
  ASSERT_EQ(dialog_->childAt(background), nullptr);
  std::size_t before = world_.WavBytes();
  QTest::mouseClick(dialog_, Qt::RightButton, Qt::ControlModifier, background);
  Process(100);
  EXPECT_EQ(world_.WavBytes(), before) << "Ctrl with the right button reads nothing";
  QTest::mouseClick(dialog_, Qt::RightButton, Qt::NoModifier, background);
  EXPECT_GT(RunJob(), 0u);
}

TEST_F(ServerWindow, SystemMenuAndTrayMenuFollowTheState) {
  Start();
  auto menu = dialog_->BuildSystemMenu();
  QStringList texts;
  for (QAction* action : menu->actions())
    if (!action->isSeparator()) texts << action->text();
  EXPECT_EQ(texts, (QStringList{"C&zytaj", "&Przerwij", QString::fromUtf8("&Informacja o Vokaru..."),
                                QString::fromUtf8("Mi&nimalizuj"), "Za&mknij"}));
  EXPECT_FALSE(menu->actions()[0]->isEnabled()) << "nothing to read";
  EXPECT_FALSE(menu->actions()[1]->isEnabled()) << "nothing to break";
  QGuiApplication::clipboard()->setText("Raz. Dwa. Trzy.");
  Process();
  EXPECT_TRUE(dialog_->BuildSystemMenu()->actions()[0]->isEnabled());

  ASSERT_NE(dialog_->trayMenu(), nullptr);
  QStringList trayTexts;
  QTimer::singleShot(300, dialog_, [&] {
    dialog_->OnTrayClick(true);
    trayTexts << dialog_->trayMenu()->actions()[0]->text();
    dialog_->trayMenu()->hide();
    auto during = dialog_->BuildSystemMenu();
    trayTexts << during->actions()[0]->text() << (during->actions()[1]->isEnabled() ? "break on" : "break off");
    // The tray menu's second item breaks.
    dialog_->trayMenu()->actions()[1]->trigger();
  });
  dialog_->commands().Dispatch(ID_READ_CLIPBOARD);
  RunJob();
  EXPECT_EQ(trayTexts, (QStringList{"Pau&za", "Pau&za", "break on"}));
  dialog_->OnTrayClick(true);
  EXPECT_EQ(dialog_->trayMenu()->actions()[0]->text(), "C&zytaj");
  dialog_->trayMenu()->hide();
  // The right button brings the window up.
  dialog_->showMinimized();
  Process();
  dialog_->OnTrayClick(false);
  Process(50);
  EXPECT_FALSE(dialog_->isMinimized());
}

TEST_F(ServerWindow, ExitWhileIdleEndsTheDialogAndEmptiesTheQueue) {
  Start();
  dialog_->QueueFile((world_.folder() / "a.txt").string());
  dialog_->close();
  Process(50);
  EXPECT_TRUE(dialog_->ExitPending());
  EXPECT_TRUE(dialog_->fileQueue().empty());
  EXPECT_EQ(dialog_->result(), 1);
}

TEST_F(ServerWindow, EscWhileIdleOnlyEmptiesTheQueue) {
  Start();
  dialog_->QueueFile((world_.folder() / "a.txt").string());
  QTest::keyClick(dialog_, Qt::Key_Escape);
  EXPECT_TRUE(dialog_->fileQueue().empty());
  EXPECT_TRUE(dialog_->isVisible());
  EXPECT_FALSE(dialog_->ExitPending());
}

TEST_F(ServerWindow, AHostileLogoShowsNoBitmapAndAGoodOneShows) {
  // Colour count far beyond the bit depth, dimensions beyond the file.
  std::vector<std::uint8_t> hostile = WriteDib8(4, 4, std::vector<std::uint32_t>(4, 0), std::vector<std::uint8_t>(16));
  hostile[46] = 0xFF;
  hostile[47] = 0xFF;
  hostile[22] = 0xFF;
  world_.folder().Write("work/logo95.bmp", std::string(hostile.begin(), hostile.end()));
  auto key = registry::Key::Create(registry::Root::CurrentUser, "Software\\Quillmark\\Vokar\\Global");
  ASSERT_TRUE(key->Set("WorkDir", (world_.folder() / "work").string()).ok());
  Start({"/L"});
  ASSERT_NE(app_->logo, nullptr);
  EXPECT_FALSE(app_->logo->HasBitmap());
  EXPECT_EQ(app_->logo->size(), QSize(306, 116));
  app_->CloseLogo();
  EXPECT_FALSE(app_->logo->IsOpen());
  dialog_->Destroy();
  app_->Exit();
  app_.reset();

  const auto good = WriteDib8(40, 20, {0x102030, 0xFFFFFF}, std::vector<std::uint8_t>(800, 1));
  world_.folder().Write("work/logo95.bmp", std::string(good.begin(), good.end()));
  Start({"/L"});
  ASSERT_NE(app_->logo, nullptr);
  EXPECT_TRUE(app_->logo->HasBitmap());
  EXPECT_EQ(app_->logo->size(), QSize(46, 26));
  // No sound: start-up over closes the logo at once.
  EXPECT_FALSE(app_->logo->IsOpen());
}

// The logo's sound: half a second of silence, 8-bit mono at 22,050 Hz.
constexpr std::uint32_t kLogoSamples = 11025;
std::string HalfSecondOfSound() {
  std::string wav = "RIFF";
  auto put = [&](std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) wav.push_back(static_cast<char>(v >> (8 * i)));
  };
  put(36 + kLogoSamples, 4);
  wav += "WAVEfmt ";
  put(16, 4), put(1, 2), put(1, 2), put(22050, 4), put(22050, 4), put(1, 2), put(8, 2);
  wav += "data";
  put(kLogoSamples, 4);
  wav += std::string(kLogoSamples, '\x80');
  return wav;
}

TEST_F(ServerWindow, TheLogoClosesWhenItsSoundEndsAndBeforeAnyMessage) {
  const std::uint32_t samples = kLogoSamples;
  world_.folder().Write("work/logo.wav", HalfSecondOfSound());
  ::chdir((world_.folder() / "work").c_str());
  Start({"/L"});
  ::chdir("/");
  ASSERT_NE(app_->logo, nullptr);
  EXPECT_TRUE(app_->logo->IsOpen()) << "the sound still plays";
  EXPECT_TRUE(WaitUntil([&] { return !app_->logo->IsOpen(); }, 3s));
  EXPECT_EQ(world_.WavBytes(), samples) << "the logo's sound went to the device whole";
  dialog_->Destroy();
  app_->Exit();
  app_.reset();

  // Before a message box the logo closes.
  ::chdir((world_.folder() / "work").c_str());
  Start({"/L"});
  ::chdir("/");
  ASSERT_TRUE(app_->logo->IsOpen());
  dialog_->ReadFileIntoBuffer((world_.folder() / "brak.txt").string());
  EXPECT_FALSE(app_->logo->IsOpen());
  EXPECT_EQ(world_.Messages().size(), 1u);
}

TEST_F(ServerWindow, TheLocaleIsReadAgainWhenIntlIniChanges) {
  Start();
  EXPECT_EQ(app_->locale.decimal, ',');
  world_.folder().Write("config/intl.ini", "[intl]\nsDecimal=.\nsThousand=\" \"\n");
  EXPECT_TRUE(WaitUntil([&] { return app_->locale.decimal == '.'; }, 3s));
  EXPECT_EQ(app_->locale.thousand, ' ');
  world_.folder().Write("config/intl.ini", "[intl]\nsDecimal=;\n");
  EXPECT_TRUE(WaitUntil([&] { return app_->locale.decimal == ';'; }, 3s));
}

TEST_F(ServerWindow, HelpThatIsNotInstalledIsSaid) {
  Start();
  dialog_->ShowHelp();
  const auto messages = world_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text.rfind("Nie znaleziono pomocy Vokara:\n", 0), 0u) << messages[0].text;
  EXPECT_NE(messages[0].text.find((world_.folder() / "data" / "help" / "vokar.html").string()), std::string::npos);
}

// The page is there, but nothing can show it: no xdg-open on the PATH and the
// offscreen desktop opens nothing. The user is told, with the page's path.
TEST_F(ServerWindow, HelpWithoutABrowserIsSaidWithThePagesPath) {
  const auto page = world_.folder().Write("data/help/vokar.html", "<html></html>");
  ::setenv("PATH", (world_.folder() / "data").c_str(), 1);
  // The logo stays up while its sound plays.
  world_.folder().Write("work/logo.wav", HalfSecondOfSound());
  ::chdir((world_.folder() / "work").c_str());
  Start({"/L"});
  ::chdir("/");
  ASSERT_TRUE(app_->logo->IsOpen());
  dialog_->ShowHelp();
  EXPECT_FALSE(app_->logo->IsOpen()) << "the logo closes before every box";
  const auto messages = world_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Vokar");
  EXPECT_EQ(messages[0].text.rfind("Nie można otworzyć pomocy", 0), 0u) << messages[0].text;
  EXPECT_TRUE(messages[0].text.ends_with("\n" + page.string())) << messages[0].text;
}

TEST_F(ServerWindow, QueuedPathsAreNeverCutToAnotherFile) {
  Start();
  const std::string file = (world_.folder() / "a.txt").string();
  world_.folder().Write("a.txt", "Raz.");
  // The path of a real file, made longer than the system takes by slashes.
  const std::string padded = std::string(8000, '/') + file;
  ASSERT_TRUE(desktop::SendMessage(dialog_->busHandle(), WM_SERVER_OPENFILE, 0, 0, padded).ok());
  ASSERT_EQ(dialog_->fileQueue().size(), 1u);
  EXPECT_EQ(dialog_->fileQueue().front().size(), static_cast<std::size_t>(PATH_MAX) + 1);
  dialog_->OnReadNextFile();
  const auto messages = world_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].text.find("\nBłędna ścieżka dostępu"), std::string::npos);
  EXPECT_EQ(world_.WavBytes(), 0u);
}

TEST_F(ServerWindow, AClientStartsItMinimised) {
  ::setenv("VOKAR_SHOW_MINIMIZED", "1", 1);
  Start();
  EXPECT_TRUE(dialog_->windowState() & Qt::WindowMinimized);
  EXPECT_EQ(std::getenv("VOKAR_SHOW_MINIMIZED"), nullptr) << "programs the server starts must not inherit it";
}

// A second start with no file, by a user, brings the minimised window up
// and ends; nothing is queued.
TEST_F(ServerWindow, ASecondStartWithoutAFileBringsTheWindowUp) {
  ::setenv("VOKAR_SHOW_MINIMIZED", "1", 1);
  Start();
  ASSERT_TRUE(dialog_->windowState() & Qt::WindowMinimized);
  servertest::Process second(VOKAR_PATH, {}, world_.Work(), world_.folder() / "second.out");
  const auto deadline = Clock::now() + 10s;
  while (second.Running() && Clock::now() < deadline)
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
  EXPECT_EQ(second.Wait(0ms), 0);
  Process(100);
  EXPECT_FALSE(dialog_->windowState() & Qt::WindowMinimized);
  EXPECT_TRUE(dialog_->isVisible());
  EXPECT_TRUE(dialog_->fileQueue().empty());
  EXPECT_TRUE(world_.Messages().empty());
}

}  // namespace
