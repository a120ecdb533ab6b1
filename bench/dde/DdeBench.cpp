// The desktop bus and DDE between real programs: poke-and-execute round trips
// against the DDE test server, a version query to another program's window,
// and finding a window by title among 50 windows of another program.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "Ddeml.h"
#include "PeerProtocol.h"
#include "TestSupport.h"

namespace {

using namespace vokar;

void BM_PokeAndExecuteRoundTrip(benchmark::State& state) {
  testing::PrivateDesktop desktop;
  testing::ChildProcess server(VOKAR_DDE_TESTSERVER, {"--job-ms", "0"});
  if (!testing::WaitForWindow("Vokar")) {
    state.SkipWithError("the test server did not start");
    return;
  }
  dde::DdeInstance instance = 0;
  dde::Initialize(instance, {}, dde::InitMode::ClientOnly);
  const auto service = dde::CreateStringHandle(instance, "Vokar");
  const auto topic = dde::CreateStringHandle(instance, "System");
  const auto item = dde::CreateStringHandle(instance, "text");
  const dde::Conversation conversation = dde::Connect(instance, service, topic);
  if (!conversation) {
    state.SkipWithError("no conversation");
    return;
  }
  const std::string text = std::string(static_cast<std::size_t>(state.range(0)), 'a') + '\0';
  const std::string status("status\0", 7);
  for (auto _ : state) {
    const bool poked = dde::ClientTransaction(text, conversation, item, dde::CF_TEXT, dde::TransactionType::Poke,
                                              desktop::milliseconds(10000), nullptr);
    const bool executed = dde::ClientTransaction(status, conversation, {}, 0, dde::TransactionType::Execute,
                                                 desktop::milliseconds(10000), nullptr);
    if (!poked || !executed) {
      state.SkipWithError("a transaction failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
  dde::Uninitialize(instance);
}
BENCHMARK(BM_PokeAndExecuteRoundTrip)->Arg(64)->Arg(65276)->UseRealTime();

void BM_VersionQuery(benchmark::State& state) {
  testing::PrivateDesktop desktop;
  testing::ChildProcess peer(VOKAR_DESKTOP_PEER, {"Vokar"});
  const desktop::WindowHandle window = testing::WaitForWindow("Vokar");
  if (!window) {
    state.SkipWithError("the peer did not start");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(desktop::SendMessage(window, desktop::peer::kVersion, 0, 0).result);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_VersionQuery)->UseRealTime();

void BM_FindWindowAmong50(benchmark::State& state) {
  testing::PrivateDesktop desktop;
  std::vector<std::string> titles;
  for (int i = 0; i < 49; ++i) titles.push_back("Okno " + std::to_string(i));
  titles.push_back("Vokar");
  testing::ChildProcess peer(VOKAR_DESKTOP_PEER, titles);
  if (!testing::WaitFor([] { return desktop::EnumerateWindows().size() == 50; })) {
    state.SkipWithError("the peer did not open its windows");
    return;
  }
  for (auto _ : state) {
    const auto found = desktop::FindWindow("Vokar");
    if (!found) {
      state.SkipWithError("not found");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindWindowAmong50)->UseRealTime();

void BM_FindMissingWindowAmong50(benchmark::State& state) {
  testing::PrivateDesktop desktop;
  std::vector<std::string> titles;
  for (int i = 0; i < 50; ++i) titles.push_back("Okno " + std::to_string(i));
  testing::ChildProcess peer(VOKAR_DESKTOP_PEER, titles);
  if (!testing::WaitFor([] { return desktop::EnumerateWindows().size() == 50; })) {
    state.SkipWithError("the peer did not open its windows");
    return;
  }
  // A search that meets every window: the worst case of a client looking for
  // a server that is not running.
  for (auto _ : state) benchmark::DoNotOptimize(desktop::FindWindow("Vokar"));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FindMissingWindowAmong50)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
