// The text side alone: scanning, figures, dictionary, transcription and the
// phrase step, on a large Polish text in code page 1250. Reports characters
// per second.
#include <benchmark/benchmark.h>

#include "Cp1250.h"
#include "PolishSample.h"
#include "TextScanner.h"
#include "support/TestInventory.h"

namespace {

using namespace vokar;

void ScanAndTranscribe(benchmark::State& state) {
  CSpeechSettingsValues settings;
  CAllophoneDb db;
  testing::FillTestInventory(db, settings);
  CExceptionDict dictionary;
  dictionary.LoadFromText(cp1250::FromUtf8(bench::kSampleDictionary));
  CSilentSink sink;
  const std::string text = cp1250::FromUtf8(bench::PolishSampleText(static_cast<std::size_t>(state.range(0))));

  std::size_t tokens = 0;
  for (auto _ : state) {
    CTextScanner scanner(text, {settings, db, &dictionary, sink});
    while (CUtterance* utterance = scanner.NextUtterance()) tokens += utterance->Tokens().size();
  }
  benchmark::DoNotOptimize(tokens);
  state.counters["chars_per_second"] =
      benchmark::Counter(static_cast<double>(text.size()), benchmark::Counter::kIsIterationInvariantRate);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(ScanAndTranscribe)->Arg(65279)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
