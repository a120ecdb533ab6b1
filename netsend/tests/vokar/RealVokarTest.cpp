// Two computers on one machine: the real speech server vokar on the WAV
// device with the agent vknetdde beside it on 127.0.0.1, and the sender sievo
// (its command-line form as a real process, and its dialog in the test's
// process) making it speak and breaking a long reading. What vokar played is
// compared with vksay's reading of the same text, which runs the same engine.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <cstring>

#include "ClientTestSupport.h"
#include "Cp1250.h"
#include "Ddeml.h"
#include "Desktop.h"
#include "NetTestSupport.h"
#include "QtDesktopLoop.h"
#include "Settings.h"
#include "SievoDlg.h"
#include "SievoIds.h"
#include "TestBytes.h"
#include "XSession.h"

namespace {

using namespace vokar;
using namespace vokar::nettest;
using vokar::testing::ChildProcess;
using vokar::testing::ClientWorld;
using vokar::test::WavData;

constexpr const char* kSent = "Komunikat został pomyślnie wysłany do zadanego komputera";
constexpr const char* kLong =
    "Raz, dwa, trzy, cztery, pięć, sześć, siedem, osiem, dziewięć, dziesięć. Jedenaście, dwanaście, trzynaście, "
    "czternaście, piętnaście, szesnaście, siedemnaście, osiemnaście, dziewiętnaście, dwadzieścia.";

class TwoComputers : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(world_.folder() / "run");
    fs::permissions(world_.folder() / "run", fs::perms::owner_all, fs::perm_options::replace);
    world_.Set("XDG_RUNTIME_DIR", (world_.folder() / "run").string());
    world_.Set("QT_QPA_PLATFORM", "offscreen");
    world_.Set("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + (world_.folder() / "no-bus").string());
    world_.Set("VOKAR_WAVEOUT", "wav:" + Wav().string());
    server_ = std::make_unique<ChildProcess>(VOKAR_SERVER, std::vector<std::string>{"/L-"});
    ASSERT_TRUE(vokar::testing::WaitForWindow("Vokar", std::chrono::milliseconds(20000)));
    const Finished enabled = RunProgram(VKNETDDE, {"--enable", "--port", "0", "--no-announce"}, world_.folder());
    ASSERT_EQ(enabled.status, 0) << enabled.err;
    agent_ = std::make_unique<AgentProcess>(VKNETDDE, world_.folder());
    ASSERT_TRUE(agent_->listening()) << agent_->Errors();
  }

  fs::path Wav() const { return world_.folder() / "out.wav"; }

  std::string Expected(const std::string& utf8Text) {
    const fs::path out = world_.folder() / "expected.wav";
    const Finished vksay = RunProgram(VOKAR_VKSAY, {"-o", out.string(), utf8Text}, world_.folder());
    EXPECT_EQ(vksay.status, 0) << vksay.err;
    return WavData(out);
  }

  // The server's state as a local client asks it: 1 reading, 2 idle.
  int ServerStatus() {
    dde::DdeInstance instance = 0;
    if (dde::Initialize(instance, {}, dde::InitMode::ClientOnly) != dde::DMLERR_NO_ERROR) return 0;
    const auto conversation =
        dde::Connect(instance, dde::CreateStringHandle(instance, "Vokar"), dde::CreateStringHandle(instance, "System"));
    std::uint32_t status = 0;
    if (conversation) {
      dde::ClientTransaction(std::string("status", 7), conversation, {}, 0, dde::TransactionType::Execute,
                             std::chrono::milliseconds(5000), &status);
    }
    dde::Uninitialize(instance);
    return static_cast<int>(status & 0xFF);
  }
  bool WaitForStatus(int wanted, std::chrono::milliseconds timeout = std::chrono::milliseconds(20000)) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
      if (ServerStatus() == wanted) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  // A text of this computer, as a local client hands it over: poke "text",
  // then "read".
  bool SpeakLocally(const std::string& cp1250Text) {
    dde::DdeInstance instance = 0;
    if (dde::Initialize(instance, {}, dde::InitMode::ClientOnly) != dde::DMLERR_NO_ERROR) return false;
    const auto conversation =
        dde::Connect(instance, dde::CreateStringHandle(instance, "Vokar"), dde::CreateStringHandle(instance, "System"));
    bool done = false;
    if (conversation) {
      const auto item = dde::CreateStringHandle(instance, "text");
      done = dde::ClientTransaction(cp1250Text + std::string(1, '\0'), conversation, item, dde::CF_TEXT,
                                    dde::TransactionType::Poke, std::chrono::milliseconds(5000), nullptr) &&
             dde::ClientTransaction(std::string("read", 5), conversation, {}, 0, dde::TransactionType::Execute,
                                    std::chrono::milliseconds(5000), nullptr);
    }
    dde::Uninitialize(instance);
    return done;
  }

  // Ends the server as the desktop ends it, so that it writes its settings,
  // and starts another on the device named.
  void RestartServer(const std::string& waveOut) {
    if (server_) {
      EXPECT_EQ(server_->StopWithin(SIGTERM, std::chrono::milliseconds(20000)), 0);
    }
    world_.Set("VOKAR_WAVEOUT", waveOut);
    server_ = std::make_unique<ChildProcess>(VOKAR_SERVER, std::vector<std::string>{"/L-"});
    ASSERT_TRUE(vokar::testing::WaitForWindow("Vokar", std::chrono::milliseconds(20000)));
  }

  // Whether Xvfb, openbox and xdotool are there for a sender with a screen.
  static bool XToolsInstalled() {
    for (const char* tool : {"/usr/bin/Xvfb", "/usr/bin/openbox", "/usr/bin/xdotool"}) {
      if (::access(tool, X_OK) != 0) return false;
    }
    return true;
  }
  // The sender's settings name the other computer; the server runs
  // offscreen, the sender will get a screen of the test's own.
  void PrepareTheSenderForAScreen() {
    app::CSettings settings("Sievo");
    ASSERT_TRUE(settings.WriteString("Global", "ComputerName", agent_->Computer()));
    ASSERT_TRUE(settings.WriteString("Global", "FromClipboard", "No"));
    world_.Unset("DISPLAY");
    world_.Unset("QT_QPA_PLATFORM");
    world_.Set("PATH", "/usr/local/bin:/usr/bin:/bin");
  }
  // Waits for the sender's window (up to 30 s on a loaded machine; says
  // whether the program was still running when it did not come), then, as a
  // user does: Alt+U to the message, the text, Alt+W to send; and waits for
  // the box that says how it went.
  void SendFromTheWindow(const vokar::testing::SpawnedProgram& sievo, const std::string& text) {
    vokar::testing::SpawnedProgram search(
        {"xdotool", "search", "--sync", "--onlyvisible", "--name", "^Sievo$", "windowactivate", "--sync"});
    ASSERT_EQ(search.Wait(std::chrono::seconds(30)), 0) << "no window; sievo " << (sievo.running() ? "runs" : "ended");
    ASSERT_EQ(vokar::testing::RunProgram({"xdotool", "key", "alt+u"}), 0);
    ASSERT_EQ(vokar::testing::RunProgram({"xdotool", "type", "--delay", "10", text}), 0);
    ASSERT_EQ(vokar::testing::RunProgram({"xdotool", "key", "alt+w"}), 0);
    ASSERT_TRUE(vokar::testing::WaitFor([&] { return !world_.Messages().empty(); }, std::chrono::milliseconds(10000)));
  }

  ClientWorld world_;
  std::unique_ptr<ChildProcess> server_;
  std::unique_ptr<AgentProcess> agent_;
};

// The WAV files a device of "wav:PATH" wrote, in the order written: PATH,
// then PATH-2, PATH-3 ... at each change of format.
std::vector<fs::path> WavSeries(const fs::path& first) {
  std::vector<fs::path> files;
  if (fs::exists(first)) files.push_back(first);
  for (int n = 2; fs::exists(first.parent_path() / (first.stem().string() + "-" + std::to_string(n) + ".wav")); ++n) {
    files.push_back(first.parent_path() / (first.stem().string() + "-" + std::to_string(n) + ".wav"));
  }
  return files;
}

std::uint32_t WavRate(const fs::path& file) {
  const std::string bytes = ReadFile(file);
  std::uint32_t rate = 0;
  if (bytes.size() >= 28) std::memcpy(&rate, bytes.data() + 24, 4);
  return rate;
}

std::uint16_t WavBits(const fs::path& file) {
  const std::string bytes = ReadFile(file);
  std::uint16_t bits = 0;
  if (bytes.size() >= 36) std::memcpy(&bits, bytes.data() + 34, 2);
  return bits;
}

TEST_F(TwoComputers, SievoMakesTheOtherServerSpeakTheMessage) {
  const std::string text = "Dzień dobry, tu Sievo z drugiego komputera.";
  const auto start = Clock::now();
  const Finished sent = RunProgram(SIEVO, {"--send", agent_->Computer(), text}, world_.folder());
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  EXPECT_EQ(sent.status, 0) << sent.err;
  EXPECT_EQ(world_.MessageTexts(), std::vector<std::string>{kSent});
  ASSERT_TRUE(WaitForStatus(2));
  EXPECT_EQ(WavData(Wav()), Expected(text));
  std::cout << "sievo --send took " << took << " ms from start to end" << std::endl;
}

TEST_F(TwoComputers, BreakFromSievoStopsALongReading) {
  ASSERT_EQ(RunProgram(SIEVO, {"--send", agent_->Computer(), kLong}, world_.folder()).status, 0);
  ASSERT_TRUE(WaitForStatus(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const auto start = Clock::now();
  const Finished broken = RunProgram(SIEVO, {"--break", agent_->Computer()}, world_.folder());
  EXPECT_EQ(broken.status, 0) << broken.err;
  ASSERT_TRUE(WaitForStatus(2, std::chrono::milliseconds(3000)));
  const auto stopped = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  std::cout << "reading stopped " << stopped << " ms after sievo --break started" << std::endl;
  // Only the start of the text was played.
  const std::size_t played = WavData(Wav()).size();
  const std::size_t whole = Expected(kLong).size();
  EXPECT_GT(played, 0u);
  EXPECT_LT(played, whole / 2);
  EXPECT_EQ(world_.MessageTexts(), std::vector<std::string>{kSent});
}

TEST_F(TwoComputers, TheDialogsSendBreaksTheLongReadingAndSpeaksTheNewMessage) {
  ASSERT_EQ(RunProgram(SIEVO, {"--send", agent_->Computer(), kLong}, world_.folder()).status, 0);
  ASSERT_TRUE(WaitForStatus(1));

  int argc = 1;
  char name[] = "sievo";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  desktop::QtDesktopLoop loop;
  app::CSettings settings("Sievo");
  ASSERT_TRUE(settings.WriteString("Global", "ComputerName", agent_->Computer()));
  ASSERT_TRUE(settings.WriteString("Global", "FromClipboard", "No"));
  {
    netsend::CSievoDlg dialog(settings, world_.folder().string() + "/", netsend::NetSpeechOptions{});
    std::string error;
    ASSERT_TRUE(dialog.Initialise(error)) << error;
    dialog.show();
    EXPECT_EQ(dialog.findChild<QLineEdit*>("control1009")->text().toStdString(), agent_->Computer());
    EXPECT_TRUE(dialog.findChild<QRadioButton*>("control1002")->isChecked());
    dialog.findChild<QPlainTextEdit*>("control1006")->setPlainText(QString::fromUtf8("Obiad na stole."));
    dialog.findChild<QPushButton*>("control1000")->click();
  }
  EXPECT_EQ(world_.MessageTexts(), (std::vector<std::string>{kSent, kSent}));
  ASSERT_TRUE(WaitForStatus(2));
  // The long reading was broken: the file holds the start of it and then the
  // new message whole.
  const std::string played = WavData(Wav());
  const std::string message = Expected("Obiad na stole.");
  ASSERT_GT(played.size(), message.size());
  EXPECT_LT(played.size(), Expected(kLong).size() / 2 + message.size());
  EXPECT_EQ(played.substr(played.size() - message.size()), message);
}

TEST_F(TwoComputers, TheSenderStartedAsAUserStartsItSendsFromItsWindow) {
  if (!XToolsInstalled()) GTEST_SKIP() << "Xvfb, openbox or xdotool is not installed";
  ASSERT_NO_FATAL_FAILURE(PrepareTheSenderForAScreen());
  app::CSettings settings("Sievo");
  vokar::testing::XSession session(true);
  ASSERT_TRUE(session.ok());
  vokar::testing::SpawnedProgram sievo({SIEVO});
  ASSERT_NO_FATAL_FAILURE(SendFromTheWindow(sievo, "Obiad na stole."));
  EXPECT_EQ(world_.MessageTexts(), std::vector<std::string>{kSent});
  ASSERT_TRUE(WaitForStatus(2));
  EXPECT_EQ(WavData(Wav()), Expected("Obiad na stole."));
  // Alt+K ends it, and the settings are written.
  ASSERT_TRUE(settings.WriteString("Global", "ComputerName", "nadpisane"));
  ASSERT_EQ(vokar::testing::RunProgram({"xdotool", "key", "alt+k"}), 0);
  EXPECT_EQ(sievo.Wait(std::chrono::milliseconds(10000)), 0);
  EXPECT_EQ(settings.ReadString("Global", "ComputerName", ""), agent_->Computer());
  EXPECT_EQ(settings.ReadString("Global", "FromClipboard", ""), "No");
}

// The visible windows titled "Sievo" on the test's screen: the dialog, and
// each message box over it.
int VisibleSievoWindows(const fs::path& folder) {
  const Finished found = RunProgram("/usr/bin/xdotool", {"search", "--onlyvisible", "--name", "^Sievo$"}, folder);
  return static_cast<int>(std::count(found.out.begin(), found.out.end(), '\n'));
}

// The sender's window, started as a user starts it, with a key the other
// computer does not take: the box that comes up says why, in Polish, and
// nothing is read there.
TEST_F(TwoComputers, TheSendersWindowShowsWhyASendFailedInItsBox) {
  if (!XToolsInstalled()) GTEST_SKIP() << "Xvfb, openbox or xdotool is not installed";
  // The running agent takes the new key at once.
  const Finished keyed = RunProgram(VKNETDDE, {"--key", "-"}, world_.folder(), std::chrono::milliseconds(30000),
                                    "klucz-tego-komputera-0123456789\n");
  ASSERT_EQ(keyed.status, 0) << keyed.err;
  ASSERT_EQ(RunProgram(SIEVO, {"--set-key", "inny-klucz"}, world_.folder()).status, 0);
  ASSERT_NO_FATAL_FAILURE(PrepareTheSenderForAScreen());
  world_.Set("VOKAR_MSGBOX_ANSWER", "show");
  vokar::testing::XSession session(true);
  ASSERT_TRUE(session.ok());
  vokar::testing::SpawnedProgram sievo({SIEVO});
  ASSERT_NO_FATAL_FAILURE(SendFromTheWindow(sievo, "Obiad na stole."));
  const auto box = world_.Messages().front();
  EXPECT_EQ(box.answer, "show");
  EXPECT_EQ(box.caption, "Sievo");
  EXPECT_EQ(box.text, "Połączenie z serwerem Vokar przez NetworkDDE nie zostało nawiązane.\n\nKlucz jest błędny: komputer „" +
                          agent_->Computer() + "” go nie przyjął.");
  // The box is on the screen over the dialog, and Enter closes it.
  EXPECT_TRUE(vokar::testing::WaitFor([&] { return VisibleSievoWindows(world_.folder()) == 2; },
                                      std::chrono::milliseconds(10000)));
  ASSERT_EQ(vokar::testing::RunProgram({"xdotool", "key", "Return"}), 0);
  EXPECT_TRUE(vokar::testing::WaitFor([&] { return VisibleSievoWindows(world_.folder()) == 1; },
                                      std::chrono::milliseconds(10000)));
  ASSERT_EQ(vokar::testing::RunProgram({"xdotool", "key", "alt+k"}), 0);
  EXPECT_EQ(sievo.Wait(std::chrono::milliseconds(10000)), 0);
  EXPECT_EQ(world_.Messages().size(), 1u);
  EXPECT_EQ(ServerStatus(), 2);
  EXPECT_TRUE(WavData(Wav()).empty()) << "the text was read";
}

// A text from another computer may shape its own reading, but nothing of it
// is left: not the silence of its volume tag, not its speed, pronunciation
// or device, neither for the next text nor in the settings written at exit.
// A text of this computer keeps its lasting tags as ever.
TEST_F(TwoComputers, ARemoteTextsTagsEndWithItsReadingWhileALocalTextsLast) {
  const fs::path wav = world_.folder() / "tags.wav";
  RestartServer("wav:" + wav.string() + ",devices=3");

  ASSERT_EQ(RunProgram(SIEVO, {"--send", agent_->Computer(), "\\Vol=0\\Cisza na sali."}, world_.folder()).status, 0);
  ASSERT_TRUE(WaitForStatus(2));
  auto files = WavSeries(wav);
  ASSERT_EQ(files.size(), 1u);
  const std::string silent = WavData(files[0]);
  ASSERT_FALSE(silent.empty());
  // Silence is the middle of the samples' range: 128 in 8 bits, 0 in 16.
  const char zero = WavBits(files[0]) == 8 ? '\x80' : '\0';
  EXPECT_EQ(silent, std::string(silent.size(), zero)) << "its own reading is silent";

  // The speed keeps the pitch: the same format, so the same file, and a
  // reading far shorter than the same words at the normal speed.
  const std::string fast = "\\Spd=99\\\\Drv=2\\\\Pro=0\\Szybko, prędko.";
  ASSERT_EQ(RunProgram(SIEVO, {"--send", agent_->Computer(), fast}, world_.folder()).status, 0);
  ASSERT_TRUE(WaitForStatus(2));
  files = WavSeries(wav);
  ASSERT_EQ(files.size(), 1u);
  const std::size_t fastBytes = WavData(files[0]).size() - silent.size();
  const std::size_t normalBytes = Expected("Szybko, prędko.").size();
  ASSERT_GT(normalBytes, 0u);
  EXPECT_LT(fastBytes, normalBytes * 3 / 4) << "its own reading is faster";
  EXPECT_GT(fastBytes, normalBytes / 4);

  // The next text of this computer: the normal speed, volume and
  // pronunciation, exactly as vksay reads it.
  const std::size_t before = WavData(files[0]).size();
  const std::string text = "Robię to, co chcę.";
  ASSERT_TRUE(SpeakLocally(cp1250::FromUtf8(text)));
  ASSERT_TRUE(WaitForStatus(2));
  files = WavSeries(wav);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(WavRate(files[0]), 22050u);
  const std::string expected = Expected(text);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(WavData(files[0]).substr(before), expected);

  // Nothing of the remote texts in the settings written at exit.
  RestartServer("wav:" + (world_.folder() / "local.wav").string() + ",devices=3");
  app::CSettings vokar("Vokar");
  EXPECT_EQ(vokar.ReadInt("Sound", "Tunning", -1), 0);
  EXPECT_EQ(vokar.ReadInt("Sound", "WaveDevice", -1), 0);
  EXPECT_EQ(vokar.ReadString("Conversions", "ColloquialSpeech", ""), "Yes");

  // A text of this computer: its tags last, and are written at exit.
  ASSERT_TRUE(SpeakLocally("\\Spd=80\\\\Drv=2\\\\Pro=0\\Raz."));
  ASSERT_TRUE(WaitForStatus(2));
  EXPECT_EQ(server_->StopWithin(SIGTERM, std::chrono::milliseconds(20000)), 0);
  server_.reset();
  EXPECT_EQ(vokar.ReadInt("Sound", "Tunning", -1), 30);
  EXPECT_EQ(vokar.ReadInt("Sound", "WaveDevice", -1), 2);
  EXPECT_EQ(vokar.ReadString("Conversions", "ColloquialSpeech", ""), "No");
}

// Two readings' samples, without printing them when they differ.
void ExpectSame(const std::string& played, const std::string& expected) {
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(played.size(), expected.size());
  EXPECT_TRUE(played == expected) << "the samples differ";
}

// A user and PID namespace of the test's own, as a container or a sandbox of
// the same user makes: the programs in it see no process outside, and
// nothing outside knows them by the ids they see. Nothing when this machine
// lets the test make one; else why not.
std::optional<std::string> NamespacesUnavailable(const fs::path& folder) {
  if (::access("/usr/bin/unshare", X_OK) != 0) return "unshare (util-linux) is not installed";
  const Finished tried =
      RunProgram("/usr/bin/unshare", {"--user", "--map-root-user", "--pid", "--fork", "/bin/true"}, folder);
  if (tried.status != 0) return "this machine does not let a user make user and PID namespaces: " + tried.err;
  return std::nullopt;
}

// Everything started in the namespace ends with it, however the test ends.
const std::vector<std::string> kInNamespace = {"--user", "--map-root-user", "--pid", "--fork", "--kill-child"};

// The agent in a sandbox: the server's answers come from a process it cannot
// see (its id is 0 there), yet the bus proves they are the server's.
TEST_F(TwoComputers, AnAgentInAnotherPidNamespaceCarriesTheTextToTheServer) {
  if (const auto reason = NamespacesUnavailable(world_.folder())) GTEST_SKIP() << *reason;
  agent_.reset();
  std::vector<std::string> command{"/usr/bin/unshare"};
  command.insert(command.end(), kInNamespace.begin(), kInNamespace.end());
  command.push_back(VKNETDDE);
  agent_ = std::make_unique<AgentProcess>(command, world_.folder());
  ASSERT_TRUE(agent_->listening()) << agent_->Errors();

  const std::string text = "Przez granicę piaskownicy.";
  const Finished sent = RunProgram(SIEVO, {"--send", agent_->Computer(), text}, world_.folder());
  EXPECT_EQ(sent.status, 0) << sent.err << agent_->Errors();
  EXPECT_EQ(world_.MessageTexts(), std::vector<std::string>{kSent});
  ASSERT_TRUE(WaitForStatus(2));
  ExpectSame(WavData(Wav()), Expected(text));

  // A long reading is broken from there too.
  ASSERT_EQ(RunProgram(SIEVO, {"--send", agent_->Computer(), kLong}, world_.folder()).status, 0);
  ASSERT_TRUE(WaitForStatus(1));
  const Finished broken = RunProgram(SIEVO, {"--break", agent_->Computer()}, world_.folder());
  EXPECT_EQ(broken.status, 0) << broken.err;
  EXPECT_TRUE(WaitForStatus(2, std::chrono::milliseconds(3000)));

  // vknetdde of this desktop reaches the sandboxed agent: it says what the
  // agent serves, and turning the share off ends it.
  const Finished status = RunProgram(VKNETDDE, {"--status"}, world_.folder());
  EXPECT_NE(status.out.find("agent serves: 127.0.0.1 port " + std::to_string(agent_->port()) + "\n"),
            std::string::npos)
      << status.out;
  const Finished disabled = RunProgram(VKNETDDE, {"--disable"}, world_.folder());
  EXPECT_EQ(disabled.status, 0) << disabled.err;
  EXPECT_NE(disabled.out.find("ends: the share VOKAR$ was turned off\n"), std::string::npos) << disabled.out;
  EXPECT_EQ(agent_->WaitForExit(std::chrono::milliseconds(5000)), 3);
}

// The server in a sandbox: the handle of its window carries the id it has
// there, which means another process here; the agent believes the bus.
TEST_F(TwoComputers, AServerInAnotherPidNamespaceIsSpokenToThroughTheShare) {
  if (const auto reason = NamespacesUnavailable(world_.folder())) GTEST_SKIP() << *reason;
  ASSERT_EQ(server_->StopWithin(SIGTERM, std::chrono::milliseconds(20000)), 0);
  // The server is not the first process of its namespace (which takes no
  // signal from outside that it has no handler for): a shell is.
  std::vector<std::string> arguments = kInNamespace;
  arguments.insert(arguments.end(), {"/bin/sh", "-c", "\"$0\" /L- & wait $!", VOKAR_SERVER});
  server_ = std::make_unique<ChildProcess>("/usr/bin/unshare", arguments);
  const desktop::WindowHandle window = vokar::testing::WaitForWindow("Vokar", std::chrono::milliseconds(20000));
  ASSERT_TRUE(window);
  const auto owner = desktop::WindowOwner(window);
  ASSERT_TRUE(owner.has_value());
  ASSERT_GT(owner->process, 0u);
  EXPECT_NE(window.processId(), owner->process);

  const std::string text = "Piaskownica słucha.";
  const Finished sent = RunProgram(SIEVO, {"--send", agent_->Computer(), text}, world_.folder());
  EXPECT_EQ(sent.status, 0) << sent.err << agent_->Errors();
  EXPECT_EQ(world_.MessageTexts(), std::vector<std::string>{kSent});
  ASSERT_TRUE(WaitForStatus(2));
  ExpectSame(WavData(Wav()), Expected(text));

  ::kill(static_cast<pid_t>(owner->process), SIGTERM);
  EXPECT_TRUE(vokar::testing::WaitFor([&] { return !server_->Running(); }, std::chrono::milliseconds(20000)));
  server_.reset();
}

// A remote text's own volume near full scale, read to its end or broken
// while it plays: the next text of this computer is read exactly as vksay
// reads it, at the device's own level.
TEST_F(TwoComputers, ARemoteTextsLoudVolumeEndsWithItsReadingBrokenOrNot) {
  const std::string local = "Robię to, co chcę.";
  const std::string expected = Expected(local);
  ASSERT_EQ(RunProgram(SIEVO, {"--send", agent_->Computer(), "\\Vol=99\\Raz dwa."}, world_.folder()).status, 0);
  ASSERT_TRUE(WaitForStatus(2));
  const std::string loud = WavData(Wav());
  ASSERT_FALSE(loud.empty());
  EXPECT_FALSE(loud == Expected("Raz dwa.")) << "the volume tag did not act on its own reading";
  ASSERT_TRUE(SpeakLocally(cp1250::FromUtf8(local)));
  ASSERT_TRUE(WaitForStatus(2));
  ExpectSame(WavData(Wav()).substr(loud.size()), expected);

  ASSERT_EQ(RunProgram(SIEVO, {"--send", agent_->Computer(), std::string("\\Vol=99\\") + kLong}, world_.folder()).status,
            0);
  ASSERT_TRUE(WaitForStatus(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_EQ(RunProgram(SIEVO, {"--break", agent_->Computer()}, world_.folder()).status, 0);
  ASSERT_TRUE(WaitForStatus(2, std::chrono::milliseconds(3000)));
  const std::size_t before = WavData(Wav()).size();
  ASSERT_TRUE(SpeakLocally(cp1250::FromUtf8(local)));
  ASSERT_TRUE(WaitForStatus(2));
  ExpectSame(WavData(Wav()).substr(before), expected);
}

}  // namespace
