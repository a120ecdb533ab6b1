// The sender's dialog in the test's own process (offscreen), talking to a
// scripted agent on loopback: its controls and settings, the text source and
// its limits, Send and Break as one conversation each, the messages of every
// error, the abort box's quit command, presses while a conversation waits,
// and the browse dialog's three kinds of result.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <cstring>
#include <memory>
#include <optional>

#include "BrowseDlg.h"
#include "ClientTestSupport.h"
#include "FakeAgent.h"
#include "QtDesktopLoop.h"
#include "Settings.h"
#include "SievoDlg.h"
#include "SievoIds.h"

namespace {

using namespace vokar;
using namespace vokar::netsend;
using vokar::nettest::FakeAgent;
using vokar::testing::ClientWorld;
using Reply = FakeAgent::Reply;
using Clock = std::chrono::steady_clock;

constexpr const char* kSent = "Komunikat został pomyślnie wysłany do zadanego komputera";
constexpr const char* kNoComputer = "Aby wysłać  komunikat musisz podać nazwę docelowego komputera w sieci.\n";

class SievoDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    world_.Set("QT_QPA_PLATFORM", "offscreen");
    world_.Set("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + (world_.folder() / "no-bus").string());
    app_ = std::make_unique<QApplication>(argc_, argv_);
    loop_ = std::make_unique<desktop::QtDesktopLoop>();
  }
  void TearDown() override {
    dialog_.reset();
    agent_.reset();
    loop_.reset();
    app_.reset();
  }

  CSievoDlg& Open(std::chrono::milliseconds timeout = std::chrono::milliseconds(30000)) {
    NetSpeechOptions options;
    options.timeout = timeout;
    dialog_ = std::make_unique<CSievoDlg>(settings_, world_.folder().string() + "/", options);
    std::string error;
    EXPECT_TRUE(dialog_->Initialise(error)) << error;
    dialog_->show();
    return *dialog_;
  }
  FakeAgent& Agent() {
    agent_ = std::make_unique<FakeAgent>();
    return *agent_;
  }

  template <class T = QWidget>
  T* Control(int id) {
    return dialog_->findChild<T*>(QStringLiteral("control%1").arg(id));
  }
  void SetComputer(const std::string& name) { Control<QLineEdit>(IDC_COMPUTER)->setText(QString::fromStdString(name)); }
  void SetMessage(const QString& text) {
    Control<QRadioButton>(IDC_FROM_MESSAGE)->setChecked(true);
    Control<QPlainTextEdit>(IDC_MESSAGE)->setPlainText(text);
  }
  void Press(int id) { Control<QPushButton>(id)->click(); }
  void Settle() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents(QEventLoop::AllEvents, 10);
  }

  ClientWorld world_;
  int argc_ = 1;
  char name_[6] = "sievo";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
  std::unique_ptr<desktop::QtDesktopLoop> loop_;
  app::CSettings settings_{"Sievo"};
  std::unique_ptr<FakeAgent> agent_;
  std::unique_ptr<CSievoDlg> dialog_;
};

TEST_F(SievoDialog, HasEveryControlWithItsTextAndTheAboutItems) {
  CSievoDlg& dialog = Open();
  EXPECT_EQ(dialog.windowTitle(), "Sievo");
  EXPECT_EQ(dialog.objectName(), "dialog102");
  const std::pair<int, const char*> buttons[] = {
      {IDC_BROWSE, "P&rzeglądaj..."}, {IDC_SEND, "&Wyślij"}, {IDC_BREAK, "&Przerwij"},
      {IDC_INFO, "&Info..."},         {IDC_HELP, "Pomo&c..."}, {IDC_EXIT, "&Koniec"}};
  for (const auto& [id, text] : buttons) {
    ASSERT_NE(Control<QPushButton>(id), nullptr) << id;
    EXPECT_EQ(Control<QPushButton>(id)->text(), QString::fromUtf8(text));
  }
  EXPECT_TRUE(Control<QPushButton>(IDC_SEND)->isDefault());
  EXPECT_EQ(Control<QRadioButton>(IDC_FROM_CLIPBOARD)->text(), QString::fromUtf8("Tekst ze &schowka"));
  EXPECT_EQ(Control<QRadioButton>(IDC_FROM_MESSAGE)->text(), QString::fromUtf8("Po&niższy komunikat"));
  EXPECT_EQ(Control<QLineEdit>(IDC_COMPUTER)->maxLength(), 255);
  ASSERT_NE(Control<QPlainTextEdit>(IDC_MESSAGE), nullptr);
  QStringList groups;
  for (const auto* group : dialog.findChildren<QGroupBox*>()) groups << group->title();
  EXPECT_EQ(groups, (QStringList{QString::fromUtf8(" Ko&mputer w sieci  "), QString::fromUtf8(" Źródło tekstu ")}));
  QStringList labels;
  for (const auto* label : dialog.findChildren<QLabel*>()) labels << label->text();
  EXPECT_TRUE(labels.contains(QString::fromUtf8("Kom&unikat:")));
  EXPECT_FALSE(dialog.windowIcon().isNull());

  // The menu that stands for the system menu, and the about box it opens.
  QStringList items, about;
  QKeyEvent shiftF10(QEvent::KeyPress, Qt::Key_F10, Qt::ShiftModifier);
  QApplication::sendEvent(&dialog, &shiftF10);
  // The menu pops up at once, without a loop of its own.
  if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
    for (const QAction* action : menu->actions()) items << action->text();
    menu->close();
  }
  EXPECT_TRUE(items.contains(QString::fromUtf8("&Informacja o Sievou..."))) << items.join("|").toStdString();
  QTimer::singleShot(100, [&] {
    if (auto* box = QApplication::activeModalWidget(); box != nullptr && box != &dialog) {
      for (const auto* label : box->findChildren<QLabel*>()) about << label->text();
      box->close();
    }
  });
  dialog.commands().Dispatch(IDM_ABOUTBOX);
  EXPECT_TRUE(about.contains(QString::fromUtf8("Sievo, wersja 1.1.95")));
  EXPECT_TRUE(about.contains(QString::fromUtf8("Sieciowy nadajnik komunikatów głosowych")));
}

TEST_F(SievoDialog, SettingsAreReadAtTheStartAndWrittenHoweverTheWindowIsClosed) {
  // No settings at all: the clipboard is the source and the name is empty.
  Open();
  EXPECT_TRUE(Control<QRadioButton>(IDC_FROM_CLIPBOARD)->isChecked());
  EXPECT_EQ(Control<QLineEdit>(IDC_COMPUTER)->text(), "");
  dialog_.reset();
  EXPECT_EQ(settings_.ReadString("Global", "FromClipboard", "?"), "Yes");
  EXPECT_EQ(settings_.ReadString("Global", "ComputerName", "?"), "");

  const std::vector<std::pair<const char*, std::function<void(CSievoDlg&)>>> ways{
      {"Esc", [](CSievoDlg& d) {
         QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
         QApplication::sendEvent(&d, &esc);
       }},
      {"Koniec", [this](CSievoDlg&) { Press(IDC_EXIT); }},
      {"close box", [](CSievoDlg& d) { d.close(); }},
  };
  int round = 0;
  for (const auto& [way, close] : ways) {
    const bool clipboard = round % 2 == 1;
    settings_.WriteString("Global", "FromClipboard", clipboard ? "no" : "t");
    settings_.WriteString("Global", "ComputerName", "stary" + std::to_string(round));
    CSievoDlg& dialog = Open();
    EXPECT_EQ(Control<QRadioButton>(IDC_FROM_CLIPBOARD)->isChecked(), !clipboard) << way;
    EXPECT_EQ(Control<QLineEdit>(IDC_COMPUTER)->text().toStdString(), "stary" + std::to_string(round));
    Control<QRadioButton>(clipboard ? IDC_FROM_CLIPBOARD : IDC_FROM_MESSAGE)->setChecked(true);
    SetComputer("nowy" + std::to_string(round));
    close(dialog);
    Settle();
    EXPECT_FALSE(dialog.isVisible()) << way;
    dialog_.reset();
    EXPECT_EQ(settings_.ReadString("Global", "FromClipboard", "?"), clipboard ? "Yes" : "No") << way;
    EXPECT_EQ(settings_.ReadString("Global", "ComputerName", "?"), "nowy" + std::to_string(round)) << way;
    ++round;
  }
}

TEST_F(SievoDialog, WithoutAComputerNameNothingIsSentAndTheUserIsTold) {
  FakeAgent& agent = Agent();
  Open();
  SetMessage("Halo.");
  Press(IDC_SEND);
  Press(IDC_BREAK);
  EXPECT_EQ(agent.connections(), 0);
  const auto messages = world_.Messages();
  ASSERT_EQ(messages.size(), 2u);
  for (const auto& message : messages) {
    EXPECT_EQ(message.text, kNoComputer);
    EXPECT_EQ(message.caption, "Sievo");
    EXPECT_EQ(message.buttons, "ok");
  }
}

TEST_F(SievoDialog, AnEmptyClipboardSendsNothingAndSaysNothing) {
  FakeAgent& agent = Agent();
  Open();
  SetComputer(agent.Computer());
  Control<QRadioButton>(IDC_FROM_CLIPBOARD)->setChecked(true);
  QApplication::clipboard()->clear();
  Settle();
  Press(IDC_SEND);
  Settle();
  EXPECT_EQ(agent.connections(), 0);
  EXPECT_TRUE(world_.Messages().empty());
  // An empty message likewise.
  SetMessage("");
  Press(IDC_SEND);
  EXPECT_EQ(agent.connections(), 0);
  EXPECT_TRUE(world_.Messages().empty());
}

TEST_F(SievoDialog, AMessageOf1023CharactersGoesWholeAndALongerOneIsCut) {
  CSievoDlg& dialog = Open();
  // "ż" is one byte in code page 1250, as every Polish letter.
  const QString exact(1023, QChar(0x017C));
  SetMessage(exact);
  EXPECT_EQ(Control<QPlainTextEdit>(IDC_MESSAGE)->toPlainText().size(), 1023);
  EXPECT_EQ(dialog.TextToSend(), std::string(1023, '\xBF'));
  SetMessage(QString(1024, QChar('a')));
  EXPECT_EQ(Control<QPlainTextEdit>(IDC_MESSAGE)->toPlainText().size(), 1023);
  EXPECT_EQ(dialog.TextToSend(), std::string(1023, 'a'));
  SetMessage(QString(5000, QChar('b')));
  EXPECT_EQ(dialog.TextToSend(), std::string(1023, 'b'));

  // The clipboard: 1023 bytes and a NUL fill the 1024 the text always had.
  Control<QRadioButton>(IDC_FROM_CLIPBOARD)->setChecked(true);
  for (const int length : {1, 1022, 1023, 1024, 3000}) {
    QApplication::clipboard()->setText(QString(length, QChar(0x0105)));  // "ą"
    Settle();
    EXPECT_EQ(dialog.TextToSend(), std::string(std::min(length, 1023), '\xB9')) << length;
  }
}

TEST_F(SievoDialog, SendIsOneConversationThatBreaksFirstAndBreakIsAnother) {
  FakeAgent& agent = Agent();
  Open();
  SetComputer(agent.Computer());
  SetMessage(QString::fromUtf8("Zażółć gęślą jaźń."));
  Press(IDC_SEND);
  const std::string service = agent.Computer() + "\\NDDE$\\";
  EXPECT_EQ(agent.received(), (std::vector<std::string>{"INITIATE " + service + "|VOKAR$", "EXECUTE break",
                                                        "POKE Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1.",
                                                        "EXECUTE read", "TERMINATE"}));
  auto messages = world_.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, kSent);
  EXPECT_EQ(messages[0].icon, "information");
  EXPECT_EQ(agent.connections(), 1);

  Press(IDC_BREAK);
  EXPECT_EQ(agent.connections(), 2);
  EXPECT_EQ(std::vector<std::string>(agent.received().begin() + 5, agent.received().end()),
            (std::vector<std::string>{"INITIATE " + service + "|VOKAR$", "EXECUTE break", "TERMINATE"}));
  EXPECT_EQ(world_.Messages().size(), 1u);

  // A name typed as \\NAME is the service \\NAME\NDDE$\.
  SetComputer("\\\\" + agent.Computer());
  Press(IDC_BREAK);
  EXPECT_EQ(agent.received()[8], "INITIATE \\\\" + service + "|VOKAR$");
}

TEST_F(SievoDialog, EveryErrorIsToldAsTheTableSays) {
  const std::string impossible =
      "Przesłanie komunikatu nie jest możliwe.\nSprawdź, czy na komputerze, do którego chcesz\n"
      "wysłać komunikat jest zainstalowany Vokar 1.1 \nw wersji sieciowej.\n\n";
  const std::string died = "Serwer mowy Vokar zerwał połączenie sieciowe NetworkDDE.\n";
  struct Case {
    const char* what;
    std::vector<FakeAgent::Answer> script;
    std::vector<std::pair<std::string, std::string>> messages;  // buttons, text
    bool poked;
  };
  const Case cases[] = {
      {"busy", {{Reply::Status, 0x8000}, {Reply::Status, 0x4000}}, {}, true},
      {"no answer", {{Reply::Status, 0x8000}, {Reply::Silence}}, {{"ok", impossible}}, true},
      {"server died", {{Reply::Status, 0x8000}, {Reply::Terminate}}, {{"ok", died}, {"abort-retry-ignore", died}}, true},
      {"refused read",
       {{Reply::Status, 0x8000}, {Reply::Status, 0x8000}, {Reply::Status, 0}},
       {{"abort-retry-ignore", "Błąd obsługi transakcji NetworkDDE= 4009.\n"}},
       true},
      {"refused break", {{Reply::Status, 0}}, {{"abort-retry-ignore", "Błąd obsługi transakcji NetworkDDE= 4009.\n"}},
       false},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(world_.messageLog());
    FakeAgent& agent = Agent();
    agent.Script(c.script);
    Open(std::chrono::milliseconds(300));
    SetComputer(agent.Computer());
    SetMessage("Test.");
    Press(IDC_SEND);
    Settle();
    const auto messages = world_.Messages();
    ASSERT_EQ(messages.size(), c.messages.size()) << c.what;
    for (std::size_t i = 0; i < messages.size(); ++i) {
      EXPECT_EQ(messages[i].buttons, c.messages[i].first) << c.what;
      EXPECT_EQ(messages[i].text, c.messages[i].second) << c.what;
      EXPECT_EQ(messages[i].icon, "none") << c.what;
    }
    bool poked = false;
    for (const auto& line : agent.received()) poked = poked || line.starts_with("POKE");
    EXPECT_EQ(poked, c.poked) << c.what;
    // The conversation is closed after every Send.
    EXPECT_EQ(agent.received().back(), "TERMINATE") << c.what;
    dialog_.reset();
  }
}

// When no conversation comes about, the message says why, in Polish, below
// the sentence that it did not.
TEST_F(SievoDialog, AConnectionThatFailsIsToldWithItsReason) {
  const std::string failed = "Połączenie z serwerem Vokar przez NetworkDDE nie zostało nawiązane.\n\n";
  struct Case {
    const char* what;
    std::optional<netdde::RefusedReason> refusal;
    bool keyRequired;
    bool serverAnswers;
    std::string reason;  // with @ for the computer's name
  };
  const Case cases[] = {
      {"wrong key", netdde::RefusedReason::WrongKey, false, true, "Klucz jest błędny: komputer „@” go nie przyjął."},
      {"not on the list", netdde::RefusedReason::NotAllowed, false, true,
       "Ten komputer nie jest na liście komputerów, od których „@” przyjmuje komunikaty."},
      {"another user", netdde::RefusedReason::OtherUser, false, true,
       "Komputer „@” bez klucza przyjmuje komunikaty tylko od programów swojego użytkownika. Potrzebny jest wspólny "
       "klucz."},
      {"too many", netdde::RefusedReason::TooManyPeers, false, true,
       "Komputer „@” obsługuje teraz zbyt wiele połączeń. Spróbuj ponownie za chwilę."},
      {"no key here", std::nullopt, true, true,
       "Komputer „@” wymaga klucza, a w tym programie żaden klucz nie został podany."},
      {"no server", std::nullopt, false, false, "Na komputerze „@” nie odpowiada żaden serwer mowy Vokar."},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(world_.messageLog());
    FakeAgent& agent = Agent();
    agent.RefuseWith(c.refusal);
    agent.RequireKey(c.keyRequired);
    agent.AcceptInitiate(c.serverAnswers);
    Open();
    SetComputer(agent.Computer());
    SetMessage("Test.");
    Press(IDC_SEND);
    Settle();
    std::string reason = c.reason;
    reason.replace(reason.find('@'), 1, agent.Computer());
    const auto messages = world_.Messages();
    ASSERT_EQ(messages.size(), 1u) << c.what;
    EXPECT_EQ(messages[0].text, failed + reason) << c.what;
    EXPECT_EQ(messages[0].icon, "warning") << c.what;
    EXPECT_EQ(messages[0].caption, "Sievo") << c.what;
    dialog_.reset();
  }
  // Nobody listens on the port.
  std::filesystem::remove(world_.messageLog());
  Open();
  // Port 1 of loopback: nobody listens there.
  const std::string nobody = "127.0.0.1:1";
  SetComputer(nobody);
  SetMessage("Test.");
  Press(IDC_SEND);
  Settle();
  ASSERT_EQ(world_.Messages().size(), 1u);
  EXPECT_EQ(world_.Messages()[0].text, failed + "Komputer „" + nobody +
                                           "” nie przyjmuje komunikatów: udział VOKAR$ jest na nim wyłączony albo "
                                           "nie działa program vknetdde.");
}

TEST_F(SievoDialog, AbortInTheAbortBoxEndsTheProgram) {
  world_.Set("VOKAR_MSGBOX_ANSWER", "abort");
  FakeAgent& agent = Agent();
  agent.Script({{Reply::Status, 0}});
  CSievoDlg& dialog = Open();
  SetComputer(agent.Computer());
  SetMessage("Test.");
  Press(IDC_SEND);
  Settle();
  EXPECT_EQ(world_.Messages().at(0).answer, "abort");
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), IDC_EXIT);
}

TEST_F(SievoDialog, PressesWhileAConversationWaitsAreNotTaken) {
  FakeAgent& agent = Agent();
  // The read is answered late; meanwhile the user presses Send and Break and
  // the client is asked to speak again.
  agent.Script({{Reply::Status, 0x8000}, {Reply::Status, 0x8000}, {Reply::Status, 0x8000, 600}});
  CSievoDlg& dialog = Open();
  SetComputer(agent.Computer());
  SetMessage("Pierwszy.");
  int nested = 99;
  QTimer::singleShot(200, [&] {
    Press(IDC_SEND);
    Press(IDC_BREAK);
    nested = dialog.client().Speak("Drugi.", BreakFirst::Yes);
  });
  Press(IDC_SEND);
  EXPECT_EQ(nested, kSpeakNotSent);
  EXPECT_EQ(agent.connections(), 1);
  EXPECT_EQ(world_.MessageTexts(), std::vector<std::string>{kSent});
}

TEST_F(SievoDialog, BrowseResultsChosenCancelledAndFailed) {
  Open();
  SetComputer("stary");
  struct Case {
    int result;
    std::string name;
    std::string field;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {kBrowseCancelled, "", "stary", {}},
      {kBrowseChosen, "192.168.1.5:7050", "192.168.1.5:7050", {}},
      {2, "x", "192.168.1.5:7050", {"Wystąpił nieznany błąd w trakcie przeglądania listy serwerów."}},
      {kBrowseChosen, std::string(254, 'n'), std::string(254, 'n'), {}},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(world_.messageLog());
    int size = 0;
    dialog_->SetBrowseFunction([&](QWidget*, char* buffer, int bufferSize) {
      size = bufferSize;
      std::memcpy(buffer, c.name.c_str(), c.name.size() + 1);
      return c.result;
    });
    Press(IDC_BROWSE);
    EXPECT_EQ(size, 255);
    EXPECT_EQ(Control<QLineEdit>(IDC_COMPUTER)->text().toStdString(), c.field);
    EXPECT_EQ(world_.MessageTexts(), c.messages);
  }
}

}  // namespace
