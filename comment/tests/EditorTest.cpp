// The editor as its user drives it, inside the test's process: comment
// windows and their titles, the speech commands and what the server gets,
// saves refused or warned about, damaged files, and the settings at exit.
#include <QDropEvent>
#include <QMimeData>
#include <QTextCursor>
#include <QToolBar>
#include <QUrl>

#include <cstdlib>
#include <optional>

#include "EditorFixture.h"
#include "RunProgram.h"
#include "RemarkaIds.h"

namespace vokar::comment {
namespace {

namespace fs = std::filesystem;
using support::EditorFixture;

class Editor : public EditorFixture {};

TEST_F(Editor, NewCommentsAreNumberedAndTheCommandsFollowThem) {
  ASSERT_TRUE(Start());
  auto comments = remarka_->Comments();
  ASSERT_EQ(comments.size(), 1u);
  EXPECT_EQ(comments[0]->windowTitle(), "Koment1");
  EXPECT_EQ(remarka_->NewComment()->windowTitle(), "Koment2");
  EXPECT_TRUE(frame().action(ID_READ_COMMENT)->isEnabled());
  EXPECT_TRUE(frame().action(ID_BREAK_SPEECH)->isEnabled());

  for (CCommentFrame* comment : remarka_->Comments()) comment->close();
  Settle();
  EXPECT_TRUE(remarka_->Comments().empty());
  for (const int id : {ID_READ_COMMENT, ID_PAUSE_SPEECH, ID_CONTINUE_SPEECH, ID_BREAK_SPEECH, ID_FILE_SAVE})
    EXPECT_FALSE(frame().action(id)->isEnabled()) << id;
  // The test and the server's parameters need no comment.
  EXPECT_TRUE(frame().action(ID_TEST_SYNTHESIS)->isEnabled());
  EXPECT_TRUE(frame().action(ID_SYNTHESIS_PARAMETERS)->isEnabled());
  EXPECT_EQ(remarka_->NewComment()->windowTitle(), "Koment3");
}

TEST_F(Editor, ToolbarOrderAndAccelerators) {
  ASSERT_TRUE(Start());
  std::vector<int> order;
  for (QAction* action : frame().toolBar()->actions()) {
    int id = 0;
    for (const int candidate : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE,
                                ID_READ_COMMENT, ID_PAUSE_SPEECH, ID_CONTINUE_SPEECH, ID_BREAK_SPEECH,
                                ID_SYNTHESIS_PARAMETERS, ID_TEST_SYNTHESIS, ID_HELP_INDEX, ID_CONTEXT_HELP})
      if (frame().action(candidate) == action) id = candidate;
    order.push_back(action->isSeparator() ? 0 : id);
  }
  EXPECT_EQ(order, (std::vector<int>{57600, 57601, 57603, 0, 57635, 57634, 57637, 0, 32780, 32781, 32782, 32783, 0,
                                     32784, 32785, 0, 57666, 57669}));
  EXPECT_EQ(frame().action(ID_READ_COMMENT)->shortcut(), QKeySequence(QStringLiteral("Ctrl+A")));
  EXPECT_EQ(frame().action(ID_BREAK_SPEECH)->shortcut(), QKeySequence(QStringLiteral("Ctrl+D")));
  EXPECT_EQ(frame().action(ID_READ_COMMENT)->text(), "&Czytaj");
  EXPECT_EQ(frame().action(ID_SYNTHESIS_PARAMETERS)->text(), "P&arametry syntezy...");
  EXPECT_EQ(frame().action(ID_TEST_SYNTHESIS)->text(), "&Testuj syntezę");
}

TEST_F(Editor, ReadSendsTheWholeTextOrTheSelection) {
  const fs::path file = Comment("dwa-wiersze.ann", "Ala ma kota.\r\nDrugi wiersz.");
  ASSERT_TRUE(Start({file.string()}));
  CCommentFrame* comment = frame().ActiveComment();
  ASSERT_NE(comment, nullptr);
  EXPECT_EQ(comment->windowTitle(), "dwa-wiersze.ann");
  EXPECT_EQ(comment->view().toPlainText(), "Ala ma kota.\nDrugi wiersz.");

  frame().Dispatch(ID_READ_COMMENT);
  EXPECT_EQ(Requests(), (std::vector<std::string>{"execute break", "poke Ala ma kota.\\r\\nDrugi wiersz.",
                                                  "execute read"}));
  ASSERT_TRUE(ServerIdle());

  // "kota" selected: only it is read.
  QTextCursor cursor = comment->view().textCursor();
  cursor.setPosition(7);
  cursor.setPosition(11, QTextCursor::KeepAnchor);
  comment->view().setTextCursor(cursor);
  const std::size_t before = Requests().size();
  frame().Dispatch(ID_READ_COMMENT);
  EXPECT_EQ(RequestsFrom(before), (std::vector<std::string>{"execute break", "poke kota", "execute read"}));
  ASSERT_TRUE(ServerIdle());

  // An empty comment sends nothing but the break.
  remarka_->NewComment();
  const std::size_t empty = Requests().size();
  frame().Dispatch(ID_READ_COMMENT);
  EXPECT_EQ(RequestsFrom(empty), (std::vector<std::string>{"execute break"}));
  EXPECT_TRUE(world_.Messages().empty());
}

TEST_F(Editor, TheLongestCommentIsReadWithoutAnError) {
  // 1048575 bytes: handed over as far as one poke to the item "text" carries
  // (1 MiB less the item's name with its NUL, the poke's header and the
  // text's NUL: 1048566 bytes); the server keeps what its buffer holds.
  const fs::path file = Comment("najdluzszy.ann", std::string(1048575, 'x'));
  ASSERT_TRUE(Start());
  remarka_->ReadFileAloud(file);
  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0], "execute break");
  EXPECT_EQ(requests[1], "poke " + std::string(1048566, 'x'));
  EXPECT_EQ(requests[2], "execute read");
  // A comment of exactly that length goes whole.
  ASSERT_TRUE(ServerIdle());
  remarka_->ReadFileAloud(Comment("rowno.ann", std::string(1048566, 'y')));
  ASSERT_EQ(Requests().size(), 6u);
  EXPECT_EQ(Requests()[4], "poke " + std::string(1048566, 'y'));
  EXPECT_TRUE(world_.Messages().empty());
}

TEST_F(Editor, OtherSpeechCommands) {
  ASSERT_TRUE(Start());
  frame().Dispatch(ID_TEST_SYNTHESIS);
  // The test text in code page 1250: ł 0xB3, ę 0xEA, ą 0xB9; two blanks after "się".
  EXPECT_EQ(Requests(), (std::vector<std::string>{"poke \\\\Alf=(desync)\\\\ Zg\xB3"
                                                  "asza si\xEA  Remarka, wszystko w porz\xB9"
                                                  "dku.",
                                                  "execute read"}));
  const std::size_t before = Requests().size();
  frame().Dispatch(ID_PAUSE_SPEECH);
  frame().Dispatch(ID_CONTINUE_SPEECH);
  frame().Dispatch(ID_BREAK_SPEECH);
  frame().Dispatch(ID_SYNTHESIS_PARAMETERS);
  EXPECT_TRUE(testing::WaitFor([&] { return RequestsFrom(before).size() == 4; }));
  EXPECT_EQ(RequestsFrom(before),
            (std::vector<std::string>{"execute pause", "execute read", "execute break", "show "}));
  // The speech client's quit command ends the program as its exit command does.
  frame().Dispatch(ID_QUIT);
  EXPECT_TRUE(Settings().Has("Global", "WindowPos"));
}

TEST_F(Editor, ATextLongerThanACommentHoldsIsNotSaved) {
  ASSERT_TRUE(Start());
  CCommentFrame* comment = frame().ActiveComment();
  const fs::path file = world_.folder() / "work" / "dlugi.ann";
  // 10485 lines of 98 letters and a line break (100 bytes each with CR LF)
  // and 76 letters: 1048576 bytes, one too many.
  QString line(98, QLatin1Char('a'));
  line += QLatin1Char('\n');
  const QString lines = line.repeated(10485);
  comment->view().selectAll();
  comment->view().insertPlainText(lines + QString(76, QLatin1Char('b')));
  EXPECT_FALSE(remarka_->SaveCommentTo(*comment, file));
  EXPECT_FALSE(fs::exists(file));
  auto messages = world_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Komentarz " + file.string() + " ma 1048576 bajtów tekstu, a komentarz mieści "
                              "najwyżej 1048575 bajtów.\nNie został zapisany: skróć tekst i zapisz go ponownie.");
  EXPECT_EQ(messages[0].icon, "stop");
  EXPECT_TRUE(comment->IsModified());

  // One letter fewer: exactly 1048575 bytes.
  comment->view().selectAll();
  comment->view().insertPlainText(lines + QString(75, QLatin1Char('b')));
  ASSERT_TRUE(remarka_->SaveCommentTo(*comment, file));
  EXPECT_EQ(fs::file_size(file), 1048579u);
  EXPECT_EQ(ReadBytes(file).substr(0, 4), std::string("\xFF\xFF\x0F\0", 4));
  EXPECT_EQ(ReadBytes(file).substr(1048500, 6), "aa\r\nbb");  // file offset 4 + text 1048496
  EXPECT_FALSE(comment->IsModified());
  EXPECT_EQ(comment->windowTitle(), "dlugi.ann");
  EXPECT_EQ(world_.Messages().size(), 1u);
  // Opened again, it is the same text.
  CCommentFrame* reopened = remarka_->OpenComment(file);
  EXPECT_EQ(reopened, comment);  // already open: its window comes up
}

TEST_F(Editor, CharactersTheCodePageLacksAreWarnedAbout) {
  world_.Set("VOKAR_MSGBOX_ANSWER", "no,yes,yes");
  ASSERT_TRUE(Start());
  CCommentFrame* comment = frame().ActiveComment();
  const fs::path file = world_.folder() / "work" / "znaki.ann";
  comment->view().setPlainText(QStringLiteral("Żółw 日本 i 日"));
  EXPECT_FALSE(remarka_->SaveCommentTo(*comment, file));
  EXPECT_FALSE(fs::exists(file));
  EXPECT_TRUE(remarka_->SaveCommentTo(*comment, file));
  const auto messages = world_.Messages();
  ASSERT_GE(messages.size(), 2u);
  EXPECT_EQ(messages[0].text,
            "Tych znaków nie da się zapisać w komentarzu (kodowanie Windows-1250):\n日 本\n"
            "W pliku zostaną zastąpione znakiem „?”. Zapisać mimo to?");
  EXPECT_EQ(messages[0].buttons, "yes-no");
  EXPECT_EQ(messages[0].answer, "no");
  EXPECT_EQ(messages[1].answer, "yes");
  // Ż 0xAF, ó 0xF3, ł 0xB3.
  EXPECT_EQ(ReadBytes(file), std::string("\x0B\0\0\0\xAF\xF3\xB3w ?? i ?", 15));
  // The comment shows what the file holds, saved; undo gives the characters back.
  EXPECT_EQ(comment->view().toPlainText(), QStringLiteral("Żółw ?? i ?"));
  EXPECT_FALSE(comment->IsModified());
  comment->view().undo();
  EXPECT_EQ(comment->view().toPlainText(), QStringLiteral("Żółw 日本 i 日"));
  EXPECT_TRUE(comment->IsModified());
  // A character outside the first plane is one question mark too.
  comment->view().setPlainText(QStringLiteral("a\U0001F600b"));
  EXPECT_TRUE(remarka_->SaveCommentTo(*comment, file));
  EXPECT_EQ(ReadBytes(file), std::string("\x03\0\0\0a?b", 7));
  EXPECT_EQ(comment->view().toPlainText(), QStringLiteral("a?b"));
}

TEST_F(Editor, AFailedSaveKeepsTheOldFile) {
  ASSERT_TRUE(Start());
  const fs::path file = Comment("stary.ann", "stary tekst");
  CCommentFrame* comment = remarka_->OpenComment(file);
  ASSERT_NE(comment, nullptr);
  comment->view().selectAll();
  comment->view().insertPlainText(QStringLiteral("nowy tekst"));
  // The folder is gone: nothing can be written there.
  EXPECT_FALSE(remarka_->SaveCommentTo(*comment, world_.folder() / "nie-ma" / "stary.ann"));
  const auto messages = world_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].text.starts_with("Nie można zapisać dokumentu:\n")) << messages[0].text;
  EXPECT_EQ(ReadBytes(file), std::string("\x0B\0\0\0stary tekst", 15));
  EXPECT_TRUE(comment->IsModified());
}

TEST_F(Editor, DamagedFilesAreRefusedAndOpenCommentsStay) {
  ASSERT_TRUE(Start());
  const std::size_t open = remarka_->Comments().size();
  const fs::path truncated = Write("obciety.ann", std::string("\x0A\0\0\0abc", 7));
  EXPECT_EQ(remarka_->OpenComment(truncated), nullptr);
  const fs::path tooLong = Write("za-dlugi.ann", std::string("\0\0\x10\0", 4));
  EXPECT_EQ(remarka_->OpenComment(tooLong), nullptr);
  EXPECT_EQ(remarka_->OpenComment(world_.folder() / "work" / "brak.ann"), nullptr);
  const auto messages = world_.Messages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].text, "Nie można otworzyć dokumentu:\n" + truncated.string() +
                                  "\nPlik jest uszkodzony albo nie jest komentarzem: zapowiada 10 bajtów tekstu, a "
                                  "zawiera 3.");
  EXPECT_EQ(messages[1].text, "Nie można otworzyć dokumentu:\n" + tooLong.string() +
                                  "\nPlik jest uszkodzony albo nie jest komentarzem: długość tekstu 1048576 "
                                  "przekracza 1048575 bajtów.");
  EXPECT_TRUE(messages[2].text.starts_with("Nie można otworzyć dokumentu:\n")) << messages[2].text;
  EXPECT_EQ(remarka_->Comments().size(), open);
  // A file of just the four zero bytes is an empty comment.
  CCommentFrame* empty = remarka_->OpenComment(Write("pusty.ann", std::string(4, '\0')));
  ASSERT_NE(empty, nullptr);
  EXPECT_TRUE(empty->view().toPlainText().isEmpty());
}

TEST_F(Editor, ClosingAModifiedCommentAsksToSave) {
  world_.Set("VOKAR_MSGBOX_ANSWER", "cancel,no");
  ASSERT_TRUE(Start());
  CCommentFrame* comment = frame().ActiveComment();
  comment->view().insertPlainText(QStringLiteral("coś"));
  comment->close();
  Settle();
  EXPECT_EQ(remarka_->Comments().size(), 1u);
  comment->close();
  Settle();
  EXPECT_TRUE(remarka_->Comments().empty());
  const auto messages = world_.Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].text, "Zapisać zmiany w Koment1?");
  EXPECT_EQ(messages[0].buttons, "yes-no-cancel");
}

TEST_F(Editor, FontOfNewCommentsAndSettingsWrittenAtExit) {
  ASSERT_TRUE(Start());
  CCommentFrame* first = frame().ActiveComment();
  CCommentFrame* second = remarka_->NewComment();
  const QFont before = first->view().font();
  QFont chosen(QStringLiteral("DejaVu Sans Mono"));
  chosen.setPixelSize(21);
  chosen.setBold(true);
  remarka_->ApplyFont(*second, chosen);
  EXPECT_EQ(first->view().font(), before);
  EXPECT_EQ(second->view().font().pixelSize(), 21);
  CCommentFrame* third = remarka_->NewComment();
  EXPECT_EQ(third->view().font().pixelSize(), 21);
  EXPECT_EQ(third->view().font().family(), "DejaVu Sans Mono");
  EXPECT_EQ(third->view().font().weight(), QFont::Bold);

  frame().close();  // the exit command's road: the placement is written
  remarka_->Exit();
  const auto settings = Settings();
  EXPECT_EQ(settings.GetInt("Font", "Height", 0), -21);
  EXPECT_EQ(settings.GetInt("Font", "Weight", 0), 700);
  EXPECT_EQ(settings.GetString("Font", "FaceName", ""), "DejaVu Sans Mono");
  EXPECT_EQ(settings.GetInt("Font", "CharSet", 0), 238);
  // No comment window was resized by the user: the show command stays unwritten.
  EXPECT_FALSE(settings.Has("Settings", "ShowCmd"));
  EXPECT_TRUE(ParseWindowPos(settings.GetString("Global", "WindowPos", "")).has_value());
}

TEST_F(Editor, ACommentWindowShownNormalIsRemembered) {
  ASSERT_TRUE(Start());
  frame().ActiveComment()->showNormal();
  Settle();
  EXPECT_EQ(remarka_->showCmd(), 1);
  remarka_->Exit();
  EXPECT_EQ(Settings().GetInt("Settings", "ShowCmd", 0), 1);
}

TEST_F(Editor, StoredShowCommandAndFontApplyToNewComments) {
  const auto settings = Settings();
  ASSERT_TRUE(settings.WriteInt("Settings", "ShowCmd", 1).ok());
  ASSERT_TRUE(settings.WriteInt("Font", "Height", -19).ok());
  ASSERT_TRUE(settings.WriteString("Font", "FaceName", "DejaVu Serif").ok());
  ASSERT_TRUE(Start());
  CCommentFrame* comment = frame().ActiveComment();
  EXPECT_FALSE(comment->isMaximized());
  EXPECT_EQ(comment->view().font().pixelSize(), 19);
  EXPECT_EQ(comment->view().font().family(), "DejaVu Serif");
  remarka_->Exit();
  // Nothing changed: nothing is written back.
  EXPECT_FALSE(settings.Has("Font", "Weight"));
  EXPECT_EQ(settings.GetInt("Settings", "ShowCmd", 0), 1);
}

TEST(ShowMinimised, TheRequestIsReadOnceAndNotPassedOn) {
  struct Case {
    std::optional<std::string> value;
    bool minimised;
  };
  for (const Case& c : std::vector<Case>{{"1", true}, {"yes", true}, {"0", false}, {"", false}, {std::nullopt, false}}) {
    if (c.value) {
      ::setenv("VOKAR_SHOW_MINIMIZED", c.value->c_str(), 1);
    } else {
      ::unsetenv("VOKAR_SHOW_MINIMIZED");
    }
    EXPECT_EQ(TakeShowMinimised(), c.minimised) << c.value.value_or("(unset)");
    EXPECT_EQ(std::getenv("VOKAR_SHOW_MINIMIZED"), nullptr);
  }
}

TEST_F(Editor, StartedMinimisedTheSavedPlacementWaitsForTheRestore) {
  // Closed maximised (flags 2, show command 3).
  ASSERT_TRUE(Settings().WriteString("Global", "WindowPos", "2,3,-1,-1,-1,-1,40,30,680,510").ok());
  world_.Set("VOKAR_SHOW_MINIMIZED", "1");
  ASSERT_TRUE(Start());
  Settle();
  EXPECT_TRUE(frame().isMinimized());
  EXPECT_EQ(std::getenv("VOKAR_SHOW_MINIMIZED"), nullptr);
  // A later start's comment brings the window back as it was saved.
  ASSERT_TRUE(remarka_->TakeRequest(Verb::Open, Comment("pozniej.ann", "potem")));
  Settle();
  EXPECT_FALSE(frame().isMinimized());
  EXPECT_TRUE(frame().isMaximized());
  ASSERT_NE(remarka_->FindComment(world_.folder() / "work" / "pozniej.ann"), nullptr);
}

TEST_F(Editor, FilesDroppedOnTheFrameAreOpened) {
  ASSERT_TRUE(Start());
  const fs::path a = Comment("upuszczony.ann", "upuszczony");
  const fs::path bad = Write("zly.ann", "ab");
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(a.string())),
                QUrl::fromLocalFile(QString::fromStdString(bad.string()))});
  // The drag enters the frame, is accepted, and drops.
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&frame(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&frame(), &drop);
  ASSERT_NE(remarka_->FindComment(a), nullptr);
  EXPECT_EQ(remarka_->FindComment(a)->view().toPlainText(), "upuszczony");
  EXPECT_EQ(remarka_->FindComment(bad), nullptr);
  EXPECT_EQ(world_.Messages().size(), 1u);
}

class EditorOnX11 : public EditorFixture {
 public:
  EditorOnX11() { onX11_ = true; }
};

TEST_F(EditorOnX11, TheStatusBarShowsTheLockKeys) {
  ASSERT_TRUE(Start());
  const auto press = [](const char* key) { return support::RunProgram({"xdotool", "key", key}).exitCode; };
  const auto shows = [&](int index, const char* text) {
    return testing::WaitFor([&] { return frame().IndicatorText(index) == text; }, std::chrono::milliseconds(3000));
  };
  EXPECT_TRUE(shows(0, ""));
  EXPECT_EQ(frame().IndicatorName(0), "Caps Lock wyłączony") << "a screen reader hears what the field shows";
  ASSERT_EQ(press("Caps_Lock"), 0);
  EXPECT_TRUE(shows(0, "CAP"));
  EXPECT_EQ(frame().IndicatorName(0), "Caps Lock włączony");
  EXPECT_TRUE(shows(1, ""));
  ASSERT_EQ(press("Num_Lock"), 0);
  EXPECT_TRUE(shows(1, "NUM"));
  ASSERT_EQ(press("Caps_Lock"), 0);
  EXPECT_TRUE(shows(0, ""));
  EXPECT_EQ(frame().IndicatorText(1), "NUM");
  EXPECT_EQ(frame().IndicatorText(2), "");
  EXPECT_EQ(frame().IndicatorName(0), "Caps Lock wyłączony");
  EXPECT_EQ(frame().IndicatorName(1), "Num Lock włączony");
  EXPECT_EQ(frame().IndicatorName(2), "Scroll Lock wyłączony");
}

TEST_F(Editor, RecentFilesAreKeptNewestFirst) {
  ASSERT_TRUE(Start());
  std::vector<fs::path> files;
  for (const char* name : {"a.ann", "b.ann", "c.ann", "d.ann", "e.ann"}) {
    files.push_back(Comment(name, name));
    ASSERT_NE(remarka_->OpenComment(files.back()), nullptr);
  }
  // The menu shows the newest first (a long path shortened in the middle).
  EXPECT_TRUE(frame().action(ID_FILE_MRU_FIRST)->text().startsWith("&1 "));
  EXPECT_EQ(frame().action(ID_FILE_MRU_FIRST)->statusTip(),
            "Otwiera ten komentarz: " + QString::fromStdString(files[4].string()));
  EXPECT_TRUE(frame().action(ID_FILE_MRU_FIRST + 3)->isVisible());
  remarka_->Exit();
  const auto settings = Settings();
  EXPECT_EQ(settings.GetString("Recent File List", "File1", ""), files[4].string());
  EXPECT_EQ(settings.GetString("Recent File List", "File4", ""), files[1].string());
  EXPECT_FALSE(settings.Has("Recent File List", "File5"));
}

}  // namespace
}  // namespace vokar::comment
