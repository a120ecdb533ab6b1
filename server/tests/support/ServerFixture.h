// What the server's tests share: a folder of the test's own holding a private
// desktop, settings store, config folder, data folder with a small voice,
// work folder, message log and WAV output; the real vokar started in it as a
// user would; and a DDE client in the test's process that talks to it as the
// client programs do.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <variant>
#include <vector>

#include "Ddeml.h"
#include "Desktop.h"
#include "MessageBox.h"
#include "Registry.h"
#include "TestFolder.h"
#include "TestSupport.h"
#include "support/AlfWriter.h"
#include "support/TestInventory.h"

extern char** environ;

namespace vokar::servertest {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A program started in a folder, its output in files; killed and reaped when
// the object goes, however the test ended.
class Process {
 public:
  Process(const std::string& program, const std::vector<std::string>& arguments, const std::filesystem::path& cwd,
          const std::filesystem::path& output) {
    std::vector<std::string> all{program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Process() {
    if (pid_ > 0 && !reaped_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t pid() const { return pid_; }
  bool Running() {
    if (pid_ <= 0 || reaped_) return false;
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      reaped_ = true;
      status_ = status;
    }
    return !reaped_;
  }
  // Waits for the end; the exit code, or -1 when it did not end in time
  // (or was killed by a signal).
  int Wait(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (Running()) {
      if (Clock::now() >= deadline) return -1;
      std::this_thread::sleep_for(5ms);
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
  }
  void Signal(int signal) { ::kill(pid_, signal); }

 private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = 0;
};

inline void SetEnv(const char* name, const std::string& value) { ::setenv(name, value.c_str(), 1); }

// A value of the server's settings as a test reads it: "<no key>", "<none>",
// a text in quotes or a number.
inline std::string StoredSetting(std::string_view section, std::string_view name) {
  auto key = registry::Key::Open(registry::Root::CurrentUser, "Software\\Quillmark\\Vokar\\" + std::string(section));
  if (!key) return "<no key>";
  auto value = key->Query(name);
  if (!value) return "<none>";
  if (const auto* text = std::get_if<std::string>(&*value)) return "\"" + *text + "\"";
  return std::to_string(static_cast<std::int32_t>(std::get<std::uint32_t>(*value)));
}

// The test's world: every environment variable the programs read points into
// the test's own folder.
class ServerWorld {
 public:
  explicit ServerWorld(std::string_view waveOptions = "") : folder_("server") {
    for (const char* sub : {"registry", "config", "data", "work", "runtime"})
      std::filesystem::create_directories(folder_ / sub);
    std::filesystem::permissions(folder_ / "runtime", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    WriteVoice(folder_ / "data" / "pl_22.alf");
    SetEnv("VOKAR_REGISTRY_DIR", (folder_ / "registry").string());
    SetEnv("VOKAR_CONFIG_DIR", (folder_ / "config").string());
    SetEnv("VOKAR_DATA_DIR", (folder_ / "data").string());
    SetEnv("VOKAR_MSGBOX_LOG", (folder_ / "messages.log").string());
    SetEnv("XDG_RUNTIME_DIR", (folder_ / "runtime").string());
    SetEnv("QT_QPA_PLATFORM", "offscreen");
    SetEnv("PATH", "/usr/bin:/bin");
    SetWave(waveOptions);
  }

  // The WAV device, with options after a comma ("devices=0", "busy=2").
  void SetWave(std::string_view options) {
    std::string value = "wav:" + Wav().string();
    if (!options.empty()) value += "," + std::string(options);
    SetEnv("VOKAR_WAVEOUT", value);
  }

  const vokar::test::TestFolder& folder() const { return folder_; }
  // A socket's path must stay short, so the desktop has a folder of its own
  // with a short name.
  const std::filesystem::path& Desktop() const { return desktop_.folder(); }
  std::filesystem::path Work() const { return folder_ / "work"; }
  std::filesystem::path Wav() const { return folder_ / "out.wav"; }
  std::filesystem::path Log() const { return folder_ / "vokar.out"; }

  // Bytes of sound written so far: the data chunk's size in the header of
  // the WAV device's first file (the formats of these tests never change).
  std::size_t WavBytes() const {
    std::ifstream in(Wav(), std::ios::binary);
    unsigned char header[44] = {};
    if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return 0;
    return static_cast<std::size_t>(header[40]) | (static_cast<std::size_t>(header[41]) << 8) |
           (static_cast<std::size_t>(header[42]) << 16) | (static_cast<std::size_t>(header[43]) << 24);
  }

  std::vector<msgbox::LoggedMessage> Messages() const { return msgbox::ReadMessageLog(folder_ / "messages.log"); }

  std::unique_ptr<Process> StartServer(const std::vector<std::string>& arguments = {"/L-"}) {
    return std::make_unique<Process>(VOKAR_PATH, arguments, Work(), Log());
  }

  // Runs a tool of ours to its end: exit code and standard output.
  std::pair<int, std::string> RunTool(const std::string& program, const std::vector<std::string>& arguments) {
    const auto output = folder_ / ("tool-" + std::to_string(++tools_) + ".out");
    Process tool(program, arguments, Work(), output);
    const int code = tool.Wait(20s);
    std::ifstream in(output);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return {code, text};
  }

  std::string ServerOutput() const {
    std::ifstream in(Log());
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

 private:
  static void WriteVoice(const std::filesystem::path& path) {
    CSpeechSettingsValues settings;
    CAllophoneDb db;
    vokar::testing::FillTestInventory(db, settings);
    vokar::testing::AlfWriter writer;
    for (int index = 1; index <= allo::kDefault; ++index) {
      if (const CAllophone* entry = db.Entry(index))
        writer.Add(index, entry->name, entry->classBits,
                   vokar::testing::Bytes(entry->samples.begin(), entry->samples.end()));
    }
    vokar::testing::WriteFile(path, writer.Build());
  }

  vokar::test::TestFolder folder_;
  vokar::testing::PrivateDesktop desktop_;
  int tools_ = 0;
};

// Waits, with this process's messages flowing, until the condition holds.
inline bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5s) {
  const auto deadline = Clock::now() + timeout;
  while (!condition()) {
    if (Clock::now() >= deadline) return condition();
    desktop::PumpMessages(5ms);
  }
  return true;
}

// The client side of the protocol, as the client programs speak it.
class DdeClient {
 public:
  DdeClient() { dde::Initialize(instance_, nullptr, dde::InitMode::ClientOnly); }
  ~DdeClient() {
    if (conversation_) dde::Disconnect(conversation_);
    dde::Uninitialize(instance_);
  }
  bool Connect(std::string_view service = "Vokar") {
    conversation_ = dde::Connect(instance_, dde::CreateStringHandle(instance_, service),
                                 dde::CreateStringHandle(instance_, "System"));
    return static_cast<bool>(conversation_);
  }
  // True when acknowledged; lastError says why not.
  bool Poke(std::string_view cp1250Text) {
    std::string data(cp1250Text);
    data += '\0';
    return Transaction(data, dde::TransactionType::Poke, dde::CreateStringHandle(instance_, "text"));
  }
  bool Execute(std::string_view command) {
    std::string data(command);
    data += '\0';
    return Transaction(data, dde::TransactionType::Execute, {});
  }
  // The status byte: 1 reading, 2 idle, 3 paused; -1 when no answer came.
  int Status() {
    if (!Execute("status")) return -1;
    return static_cast<int>(lastStatus & 0xFF);
  }
  bool WaitForStatus(int expected, std::chrono::milliseconds timeout) {
    return WaitUntil([&] { return Status() == expected; }, timeout);
  }

  std::uint32_t lastError = 0;
  std::uint32_t lastStatus = 0;

 private:
  bool Transaction(std::string_view data, dde::TransactionType type, dde::StringHandle item) {
    lastStatus = 0;
    const bool ok = dde::ClientTransaction(data, conversation_, item, dde::CF_TEXT, type, 5000ms, &lastStatus);
    lastError = ok ? 0 : dde::GetLastError(instance_);
    return ok;
  }

  dde::DdeInstance instance_ = 0;
  dde::Conversation conversation_;
};

}  // namespace vokar::servertest
