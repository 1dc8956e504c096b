// The cost of each detour per call, through the sandbox's real hook path, against the game's own
// function alone. A 200-species table stands behind every lookup.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bench/Counting.h"
#include "bench/Main.h"
#include "bench/Nursery.h"

namespace {

using Bench::Floor;
using Bench::Listed;
using Bench::Setup;
using Bench::Unlisted;

void Report(benchmark::State& state, std::uint64_t heap, std::uint64_t engine) {
  const auto calls = static_cast<double>(state.iterations());
  state.counters["heap_allocs"] = static_cast<double>(HeapAllocations() - heap) / calls;
  state.counters["engine_blocks"] =
      static_cast<double>(Sandbox::TotalAllocations() - engine) / calls;
}

void Cuddling(benchmark::State& state, Setup setup, std::uint8_t kind, bool foods) {
  APrimalDinoCharacter* baby = Bench::Prepare(setup, foods);
  const std::uint64_t heap = HeapAllocations(), engine = Sandbox::TotalAllocations();
  for (auto _ : state) benchmark::DoNotOptimize(Game::RequestCuddle(baby, 1000, kind, nullptr));
  Report(state, heap, engine);
  RemoveHooks();
}

void Update(benchmark::State& state, Setup setup) {
  APrimalDinoCharacter* baby = Bench::Prepare(setup, false);
  const std::uint64_t heap = HeapAllocations(), engine = Sandbox::TotalAllocations();
  for (auto _ : state) benchmark::DoNotOptimize(Game::SetImprinting(baby, 0.3f));
  Report(state, heap, engine);
  RemoveHooks();
}

void Added(benchmark::State& state, Setup setup) {
  APrimalDinoCharacter* baby = Bench::Prepare(setup, false);
  const std::uint64_t heap = HeapAllocations(), engine = Sandbox::TotalAllocations();
  for (auto _ : state) {
    baby->MyCharacterStatusComponent->DinoImprintingQuality = 0.25f;
    benchmark::DoNotOptimize(Game::AddImprinting(baby, 0.01f));
  }
  Report(state, heap, engine);
  RemoveHooks();
}

BENCHMARK_CAPTURE(Cuddling, floor, Floor, 0, false);
BENCHMARK_CAPTURE(Cuddling, unlisted, Unlisted, 0, false);
BENCHMARK_CAPTURE(Cuddling, listed, Listed, 0, false);
BENCHMARK_CAPTURE(Cuddling, listed_food_loaded, Listed, 1, true);
BENCHMARK_CAPTURE(Update, floor, Floor);
BENCHMARK_CAPTURE(Update, unlisted, Unlisted);
BENCHMARK_CAPTURE(Update, listed, Listed);
BENCHMARK_CAPTURE(Added, floor, Floor);
BENCHMARK_CAPTURE(Added, unlisted, Unlisted);
BENCHMARK_CAPTURE(Added, listed, Listed);

double Counter(const benchmark::BenchmarkReporter::Run& run, const char* name) {
  auto it = run.counters.find(name);
  return it == run.counters.end() ? 0.0 : static_cast<double>(it->second);
}

// Each case beside its function's floor, the game's own function alone.
void PrintRatios(const BenchmarkRuns& runs) {
  auto function = [](const std::string& name) { return name.substr(0, name.find('/')); };
  std::map<std::string, double> floors;
  for (const auto& run : runs)
    if (run.benchmark_name().find("/floor") != std::string::npos)
      floors[function(run.benchmark_name())] = run.GetAdjustedRealTime();
  std::printf("\n%-30s %10s %8s %12s %14s\n", "detour", "ns/call", "x floor", "heap/call",
              "engine/call");
  for (const auto& run : runs) {
    const double ns = run.GetAdjustedRealTime();
    const double floor = floors[function(run.benchmark_name())];
    std::printf("%-30s %10.1f %8.1f %12.2f %14.2f\n", run.benchmark_name().c_str(), ns,
                floor > 0 ? ns / floor : 0.0, Counter(run, "heap_allocs"),
                Counter(run, "engine_blocks"));
  }
}

}  // namespace

int main(int argc, char** argv) { return RunBenchmarks(argc, argv, PrintRatios); }
