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
  state.counters["engine_blocks"] = static_cast<double>(Sandbox::TotalAllocations() - engine) / calls;
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

// Prints each benchmark as usual, then a table with the ratio of each to its function's floor.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      Row row{run.benchmark_name(), run.GetAdjustedRealTime()};
      auto counter = [&](const char* name) {
        auto it = run.counters.find(name);
        return it == run.counters.end() ? 0.0 : static_cast<double>(it->second);
      };
      row.heap = counter("heap_allocs");
      row.engine = counter("engine_blocks");
      rows_.push_back(row);
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    std::map<std::string, double> floors;
    for (const Row& row : rows_)
      if (row.name.find("/floor") != std::string::npos)
        floors[row.name.substr(0, row.name.find('/'))] = row.ns;
    std::printf("\n%-30s %10s %8s %12s %14s\n", "detour", "ns/call", "x floor", "heap/call",
                "engine/call");
    for (const Row& row : rows_) {
      const double floor = floors[row.name.substr(0, row.name.find('/'))];
      std::printf("%-30s %10.1f %8.1f %12.2f %14.2f\n", row.name.c_str(), row.ns,
                  floor > 0 ? row.ns / floor : 0.0, row.heap, row.engine);
    }
  }

 private:
  struct Row {
    std::string name;
    double ns;
    double heap = 0, engine = 0;
  };
  std::vector<Row> rows_;
};

}  // namespace

int main(int argc, char** argv) {
  RatioReporter reporter;
  return RunBenchmarks(argc, argv, reporter);
}
