// Legitimate round trips to the speech server while programs attack it: the
// DDE test server on a private desktop, a client that asks the version and
// pokes and executes "status" again and again, first in quiet, then while
// attackers hold 500 connections of each kind (idle, a half-sent header, a
// megabyte one byte short, requests whose answers they never read), flood
// INITIATEs naming client windows that never answer (with stray replies and
// without), and claim 500 windows as clients. The attackers make closed
// connections again, as persistent ones would. Prints the 50th and 99th
// percentile and the longest round trip, the failures, and what the server
// held and used.
//   bench_dde_hostile [--seconds N] [--connections N]
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Ddeml.h"
#include "ProcessProbe.h"
#include "TestServerProtocol.h"
#include "TestSupport.h"

namespace {

using namespace vokar;
using Clock = desktop::Clock;

struct Sample {
  std::vector<double> versionMs;
  std::vector<double> ddeMs;
  int failures = 0;
};

double Percentile(std::vector<double> values, double share) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto index = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}

void Print(const char* phase, const char* what, const std::vector<double>& values) {
  std::printf("%-9s %-22s %7zu  p50 %7.3f ms  p99 %7.3f ms  max %8.3f ms\n", phase, what, values.size(),
              Percentile(values, 0.50), Percentile(values, 0.99),
              values.empty() ? 0.0 : *std::max_element(values.begin(), values.end()));
}

class Client {
 public:
  bool Start() {
    if (dde::Initialize(instance_, {}, dde::InitMode::ClientOnly) != dde::DMLERR_NO_ERROR) return false;
    item_ = dde::CreateStringHandle(instance_, "text");
    conversation_ = dde::Connect(instance_, dde::CreateStringHandle(instance_, "Vokar"),
                                 dde::CreateStringHandle(instance_, "System"));
    server_ = desktop::FindWindow("Vokar");
    return static_cast<bool>(conversation_);
  }

  bool Poke(const std::string& text) {
    return dde::ClientTransaction(text + '\0', conversation_, item_, dde::CF_TEXT, dde::TransactionType::Poke,
                                  desktop::milliseconds(5000), nullptr);
  }

  Sample Measure(double seconds) {
    Sample sample;
    const std::string text = "Dzie\xF1 dobry.";
    const std::string status("status\0", 7);
    const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (Clock::now() < end) {
      const auto start = Clock::now();
      const auto version = desktop::SendMessage(server_, dde::testserver::WM_SERVER_VERSION, 0, 0, {},
                                                desktop::milliseconds(5000));
      const auto middle = Clock::now();
      const bool poked = Poke(text);
      std::uint32_t answer = 0;
      const bool executed = dde::ClientTransaction(status, conversation_, {}, 0, dde::TransactionType::Execute,
                                                   desktop::milliseconds(5000), &answer);
      const auto done = Clock::now();
      if (!version.ok() || version.result != 0x00010001 || !poked || !executed) ++sample.failures;
      sample.versionMs.push_back(std::chrono::duration<double, std::milli>(middle - start).count());
      sample.ddeMs.push_back(std::chrono::duration<double, std::milli>(done - middle).count());
    }
    return sample;
  }

 private:
  dde::DdeInstance instance_ = 0;
  dde::StringHandle item_;
  dde::Conversation conversation_;
  desktop::WindowHandle server_;
};

void Report(const char* phase, const Sample& sample, pid_t server, long ticksBefore, double seconds) {
  Print(phase, "version query (send)", sample.versionMs);
  Print(phase, "poke + execute (DDE)", sample.ddeMs);
  const double cpu = static_cast<double>(testing::CpuTicks(server) - ticksBefore) / static_cast<double>(sysconf(_SC_CLK_TCK));
  std::printf("%-9s failures %d; server: %ld kB resident, %ld descriptors, %.0f %% of a core\n", phase,
              sample.failures, testing::ResidentKilobytes(server), testing::OpenDescriptors(server),
              100.0 * cpu / seconds);
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 10;
  int connections = 500;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--seconds") {
      seconds = std::atof(argv[i + 1]);
    } else if (option == "--connections") {
      connections = std::atoi(argv[i + 1]);
    } else {
      std::fprintf(stderr, "usage: bench_dde_hostile [--seconds N] [--connections N]\n");
      return 2;
    }
  }
  testing::PrivateDesktop desktop;
  testing::ChildProcess server(VOKAR_DDE_TESTSERVER, {"--job-ms", "0"});
  if (!testing::WaitForWindow("Vokar")) {
    std::fprintf(stderr, "bench_dde_hostile: the test server did not start\n");
    return 1;
  }
  Client client;
  if (!client.Start() || !client.Poke(std::string(dde::testserver::kMaxPokeText, 't'))) {
    std::fprintf(stderr, "bench_dde_hostile: no conversation with the test server\n");
    return 1;
  }

  long ticks = testing::CpuTicks(server.pid());
  Report("quiet", client.Measure(seconds), server.pid(), ticks, seconds);

  ::setenv("VOKAR_HOSTILE_PERSIST", "1", 1);
  const std::string count = std::to_string(connections);
  const std::vector<std::vector<std::string>> attacks{
      {"idle", "Vokar", count},
      {"partial", "Vokar", count},
      {"bigpartial", "Vokar", count},
      {"unread", "Vokar", count, std::to_string(dde::testserver::kGetText)},
      {"initiate", "Vokar", "8000", "stray"},
      {"initiate", "Vokar", "8000", "silent"},
      {"claim", "Vokar", count},
  };
  std::vector<std::unique_ptr<testing::ChildProcess>> attackers;
  for (const auto& attack : attacks) {
    attackers.push_back(std::make_unique<testing::ChildProcess>(VOKAR_DESKTOP_HOSTILE, attack, true));
    if (attackers.back()->ReadLine(std::chrono::milliseconds(20000)).rfind("ready", 0) != 0) {
      std::fprintf(stderr, "bench_dde_hostile: the attacker %s did not start\n", attack.front().c_str());
      return 1;
    }
  }
  ::unsetenv("VOKAR_HOSTILE_PERSIST");
  desktop::PumpMessages(desktop::milliseconds(500));
  ticks = testing::CpuTicks(server.pid());
  Report("attacked", client.Measure(seconds), server.pid(), ticks, seconds);
  attackers.clear();
  return 0;
}
