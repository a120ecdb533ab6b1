// What a user waits for when a comment is read aloud by its double click
// (`remarka -Embedding FILE`, the desktop entry's default action): from the
// start to the first audio of the server on the wav: virtual device when
// remarka has to start the server ("cold"), the reader's whole run when the
// server already runs ("warm"), and the run of a start that hands its comment
// to a running editor. Everything happens on a private desktop and settings
// store in a temporary folder, removed at the end.
//   bench_remarka [RUNS]   (default 5)
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

pid_t Spawn(const std::vector<std::string>& arguments) {
  std::vector<std::string> all = arguments;
  std::vector<char*> argv;
  for (auto& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) pid = -1;
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Every process (not this one) whose environment names the private desktop.
std::vector<pid_t> OnDesktop(const fs::path& desktop) {
  const std::string marker = "VOKAR_DESKTOP_DIR=" + desktop.string();
  std::vector<pid_t> found;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const pid_t pid = static_cast<pid_t>(std::atoi(entry.path().filename().c_str()));
    if (pid <= 0 || pid == ::getpid()) continue;
    std::ifstream in(entry.path() / "environ", std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.find(marker + '\0') != std::string::npos) found.push_back(pid);
  }
  return found;
}

bool Gone(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string pidText, name, state;
  return !(stat >> pidText >> name >> state) || state == "Z";
}

void EndAll(const fs::path& desktop) {
  for (const pid_t pid : OnDesktop(desktop)) {
    ::kill(pid, SIGKILL);
    for (int i = 0; i < 1000 && !Gone(pid); ++i) std::this_thread::sleep_for(milliseconds(5));
    ::waitpid(pid, nullptr, WNOHANG);
  }
}

bool WaitFor(const fs::path& file, Clock::time_point start, std::optional<double>& at) {
  while (Clock::now() - start < std::chrono::seconds(20)) {
    if (fs::exists(file)) {
      at = Ms(Clock::now() - start);
      return true;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  return false;
}

struct Figures {
  std::vector<double> values;
  void Print(const char* what) const {
    if (values.empty()) return;
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    std::printf("%-52s median %7.1f ms   min %7.1f   max %7.1f   (%zu runs)\n", what, sorted[sorted.size() / 2],
                sorted.front(), sorted.back(), sorted.size());
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  if (!fs::exists(fs::path(VOKAR_STAGE_DATA) / "pl_22.alf")) {
    std::fprintf(stderr, "bench_remarka: the build made no voice (VOKAR_BUILD_VOICE=OFF)\n");
    return 1;
  }
  std::string pattern = (fs::temp_directory_path() / "bench-remarka-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return 1;
  const fs::path folder = pattern;
  for (const char* sub : {"registry", "config", "desktop", "run", "data", "xdg", "home"}) fs::create_directory(folder / sub);
  fs::permissions(folder / "run", fs::perms::owner_all, fs::perm_options::replace);
  fs::permissions(folder / "desktop", fs::perms::owner_all, fs::perm_options::replace);
  const fs::path wav = folder / "out.wav";
  const std::pair<const char*, std::string> environment[] = {
      {"VOKAR_REGISTRY_DIR", (folder / "registry").string()}, {"VOKAR_CONFIG_DIR", (folder / "config").string()},
      {"VOKAR_DESKTOP_DIR", (folder / "desktop").string()},   {"XDG_RUNTIME_DIR", (folder / "run").string()},
      {"XDG_DATA_HOME", (folder / "data").string()},          {"XDG_CONFIG_HOME", (folder / "xdg").string()},
      {"HOME", (folder / "home").string()},                   {"VOKAR_MSGBOX_LOG", (folder / "messages.log").string()},
      {"VOKAR_WAVEOUT", "wav:" + wav.string()},                {"VOKAR_DATA_DIR", VOKAR_STAGE_DATA},
      {"QT_QPA_PLATFORM", "offscreen"}};
  for (const auto& [name, value] : environment) ::setenv(name, value.c_str(), 1);
  // "Ala ma kota." as a comment: its length, then the text.
  const fs::path comment = folder / "uwaga.ann";
  std::ofstream(comment, std::ios::binary) << std::string("\x0C\0\0\0", 4) << "Ala ma kota.";

  int failures = 0;
  if (Wait(Spawn({VOKAR_VKREG, "set", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Vokar.exe", "",
                  VOKAR_SERVER})) != 0) {
    std::fprintf(stderr, "bench_remarka: cannot record App Paths\n");
    failures = 1;
  }
  Figures coldAudio, coldReader, warmReader, handOver;
  for (int run = 0; run < runs && failures == 0; ++run) {
    EndAll(folder / "desktop");
    std::error_code ignored;
    fs::remove(wav, ignored);
    auto start = Clock::now();
    const pid_t reader = Spawn({VOKAR_REMARKA, "-Embedding", comment.string()});
    std::optional<double> audio;
    if (!WaitFor(wav, start, audio)) {
      std::fprintf(stderr, "bench_remarka: no audio within 20 s\n");
      ++failures;
      break;
    }
    if (Wait(reader) != 0) ++failures;
    coldAudio.values.push_back(*audio);
    coldReader.values.push_back(Ms(Clock::now() - start));

    // The server runs now: the reader only hands the comment over.
    std::this_thread::sleep_for(milliseconds(300));
    start = Clock::now();
    if (Wait(Spawn({VOKAR_REMARKA, "-Embedding", comment.string()})) != 0) ++failures;
    warmReader.values.push_back(Ms(Clock::now() - start));

    // An editor runs too: a later start hands the comment to it and ends.
    const pid_t editor = Spawn({VOKAR_REMARKA});
    std::this_thread::sleep_for(milliseconds(1500));
    start = Clock::now();
    if (Wait(Spawn({VOKAR_REMARKA, "-Embedding", comment.string()})) != 0) ++failures;
    handOver.values.push_back(Ms(Clock::now() - start));
    ::kill(editor, SIGKILL);
    Wait(editor);
  }
  EndAll(folder / "desktop");
  std::printf("remarka reading a comment aloud through vokar on the wav: device\n");
  coldAudio.Print("no server: reader start to first audio");
  coldReader.Print("no server: reader start to its end");
  warmReader.Print("server running: reader start to its end");
  handOver.Print("editor running: a later start to its end (hand-over)");
  if (fs::exists(folder / "messages.log")) {
    std::ifstream log(folder / "messages.log");
    std::fprintf(stderr, "messages:\n%s", std::string(std::istreambuf_iterator<char>(log), {}).c_str());
    ++failures;
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  if (failures != 0) std::fprintf(stderr, "bench_remarka: %d run(s) failed\n", failures);
  return failures == 0 ? 0 : 1;
}
