// What a user waits for when radko speaks: from radko's start to the first
// audio of the line (the server's device opened on the wav: virtual device),
// when radko has to start the server ("cold") and when the server already
// runs ("warm": radko's whole run, which ends once "read" is accepted).
// Everything happens on a private desktop and settings store in a temporary
// folder, removed at the end.
//   bench_radko [RUNS]   (default 5)
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
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

pid_t Spawn(const std::vector<std::string>& arguments, const fs::path& folder) {
  std::vector<std::string> all = arguments;
  std::vector<char*> argv;
  for (auto& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  pid_t pid = -1;
  if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Processes (not ours) whose environment names the private desktop: the
// servers radko started.
std::vector<pid_t> Servers(const fs::path& desktop) {
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

void EndServers(const fs::path& desktop) {
  for (const pid_t pid : Servers(desktop)) {
    ::kill(pid, SIGKILL);
    for (int i = 0; i < 1000 && !Gone(pid); ++i) std::this_thread::sleep_for(milliseconds(5));
  }
}

struct Figures {
  std::vector<double> values;
  void Print(const char* what) const {
    if (values.empty()) return;
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    std::printf("%-44s median %7.1f ms   min %7.1f   max %7.1f   (%zu runs)\n", what, sorted[sorted.size() / 2],
                sorted.front(), sorted.back(), sorted.size());
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  std::string pattern = (fs::temp_directory_path() / "bench-radko-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return 1;
  const fs::path folder = pattern;
  for (const char* sub : {"registry", "config", "desktop", "run", "work"}) fs::create_directory(folder / sub);
  fs::permissions(folder / "run", fs::perms::owner_all, fs::perm_options::replace);
  fs::permissions(folder / "desktop", fs::perms::owner_all, fs::perm_options::replace);
  const fs::path wav = folder / "out.wav";
  ::setenv("VOKAR_REGISTRY_DIR", (folder / "registry").c_str(), 1);
  ::setenv("VOKAR_CONFIG_DIR", (folder / "config").c_str(), 1);
  ::setenv("VOKAR_DESKTOP_DIR", (folder / "desktop").c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", (folder / "run").c_str(), 1);
  ::setenv("VOKAR_MSGBOX_LOG", (folder / "messages.log").c_str(), 1);
  ::setenv("VOKAR_WAVEOUT", ("wav:" + wav.string()).c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::ofstream(folder / "rady.txt") << "Kto rano wstaje, temu Pan B\xF3g daje.\n";

  int failures = 0;
  {
    const pid_t vkreg = Spawn({VOKAR_VKREG, "set", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Vokar.exe",
                               "", VOKAR_SERVER},
                              folder);
    if (Wait(vkreg) != 0) {
      std::fprintf(stderr, "bench_radko: cannot record App Paths\n");
      failures = 1;
    }
  }
  Figures coldFirstAudio, coldRadko, warmRadko;
  for (int run = 0; run < runs && failures == 0; ++run) {
    EndServers(folder / "desktop");
    std::error_code ignored;
    fs::remove(wav, ignored);
    const auto start = Clock::now();
    const pid_t radko = Spawn({VOKAR_RADKO, (folder / "rady.txt").string()}, folder / "work");
    std::optional<double> firstAudio, radkoEnded;
    while (!firstAudio && Clock::now() - start < std::chrono::seconds(20)) {
      int status = 0;
      if (!radkoEnded && ::waitpid(radko, &status, WNOHANG) == radko) {
        radkoEnded = Ms(Clock::now() - start);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failures;
      }
      if (fs::exists(wav)) firstAudio = Ms(Clock::now() - start);
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    if (!radkoEnded) {
      const int status = Wait(radko);
      radkoEnded = Ms(Clock::now() - start);
      if (status != 0) ++failures;
    }
    if (!firstAudio) {
      std::fprintf(stderr, "bench_radko: no audio within 20 s\n");
      ++failures;
      break;
    }
    coldFirstAudio.values.push_back(*firstAudio);
    coldRadko.values.push_back(*radkoEnded);

    // The server now runs: radko only hands its line over.
    std::this_thread::sleep_for(milliseconds(300));
    const auto warmStart = Clock::now();
    if (Wait(Spawn({VOKAR_RADKO, (folder / "rady.txt").string()}, folder / "work")) != 0) ++failures;
    warmRadko.values.push_back(Ms(Clock::now() - warmStart));
  }
  EndServers(folder / "desktop");
  std::printf("radko speaking one line through vokar on the wav: device\n");
  coldFirstAudio.Print("no server: radko start to first audio");
  coldRadko.Print("no server: radko start to its end");
  warmRadko.Print("server running: radko start to its end");
  if (fs::exists(folder / "messages.log")) {
    std::ifstream log(folder / "messages.log");
    std::fprintf(stderr, "messages:\n%s", std::string(std::istreambuf_iterator<char>(log), {}).c_str());
    ++failures;
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  if (failures != 0) std::fprintf(stderr, "bench_radko: %d run(s) failed\n", failures);
  return failures == 0 ? 0 : 1;
}
