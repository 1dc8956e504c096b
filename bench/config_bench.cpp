// ReadConfig on generated files, beside parsing the same bytes with the JSON library alone.
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "bench/Counting.h"
#include "bench/Main.h"
#include "plugin/config/ConfigFile.h"
#include "plugin/lifecycle/Lifecycle.h"
#include "sandbox/host/Runtime.h"

namespace {

// Stand-ins for a species count: the costliest files.
constexpr int Largest = -1;
constexpr int Refused = -2;

std::string MakeConfig(int species, int foods) {
  std::string text = "{\n  \"General\": {\"ReplaceCuddleTypeWalk\": true},\n  \"Dinolist\": {\n";
  for (int i = 0; i < species; ++i)
    text += fmt::format(
        "    \"Species{:05}\": {{\"CuddleIntervalTime\": {}, \"CuddleIncreasePercent\": {}}}{}\n",
        i, 5 + i % 55, 0.01 * (1 + i % 50), i + 1 < species ? "," : "");
  text += "  },\n  \"Footlist\": [\n";
  for (int i = 0; i < foods; ++i)
    text += fmt::format("    \"Blueprint'/Game/Nursery/Foods/Food{0:04}.Food{0:04}'\"{1}\n", i,
                        i + 1 < foods ? "," : "");
  return text + "  ]\n}\n";
}

// The costliest files there may be: the most species and 1 KiB foods up to the largest file, which
// loads; and a string that never closes, as long as a file may be, whose refusal quotes it.
std::string LargestAccepted() {
  std::string text = R"({"General": {}, "Dinolist": {)";
  for (std::size_t i = 0; i < MaxSpecies; ++i)
    text += fmt::format(R"({}"S{}": {{"CuddleIntervalTime": 5, "CuddleIncreasePercent": 0.1}})",
                        i ? ", " : "", i);
  text += R"(}, "Footlist": [)";
  const std::string food = "\"T'/" + std::string(MaxFoodBytes - 4, 'x') + "'\"";
  for (std::size_t n = 0; text.size() + 2 * food.size() + 8 <= MaxConfigBytes; ++n)
    text += (n ? ", " : "") + food;
  return text + ", " + food + "]}";
}

std::string CostliestRefused() {
  const std::string start = R"({"General": {}, "Footlist": [")";
  return start + std::string(MaxConfigBytes - start.size(), 'x');
}

std::map<std::string, std::string>& ServerDirs() {
  static std::map<std::string, std::string> dirs;
  return dirs;
}

// A server folder holding a generated config.json, made once per name.
const std::string& ServerWith(const std::string& name, const std::function<std::string()>& text) {
  auto& dir = ServerDirs()[name];
  if (dir.empty()) {
    dir = (std::filesystem::temp_directory_path() /
           fmt::format("nestkeep-bench-{}-{}", getpid(), name))
              .string();
    std::filesystem::create_directories(std::filesystem::path(ConfigPath(dir)).parent_path());
    std::ofstream(ConfigPath(dir), std::ios::binary) << text();
  }
  return dir;
}

// The file a run reads: a generated config of species and foods, or one of the costliest.
const std::string& ServerFor(const benchmark::State& state) {
  const int species = static_cast<int>(state.range(0)), foods = static_cast<int>(state.range(1));
  if (species == Largest) return ServerWith("largest", LargestAccepted);
  if (species == Refused) return ServerWith("refused", CostliestRefused);
  return ServerWith(fmt::format("{}-{}", species, foods),
                    [&] { return MakeConfig(species, foods); });
}

std::string Bytes(const std::string& dir) {
  std::ifstream in(ConfigPath(dir), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The most heap the runs took above what was held before them, in MiB.
void CountPeak(benchmark::State& state, std::uint64_t most) {
  state.counters["peak_MiB"] = static_cast<double>(most) / (1 << 20);
}

void ReadConfigBench(benchmark::State& state) {
  const std::string& dir = ServerFor(state);
  Sandbox::SetCurrentDir(dir);
  PluginLogger() = std::make_shared<spdlog::logger>("Nestkeep");
  const bool loads = state.range(0) != Refused;
  if (ReadConfig() != loads) state.SkipWithError("ReadConfig read the file otherwise");
  std::uint64_t most = 0;
  for (auto _ : state) {
    const std::uint64_t before = HeapBytesHeld();
    TakeHeapPeak();
    if (ReadConfig() != loads) state.SkipWithError("ReadConfig read the file otherwise");
    most = std::max(most, TakeHeapPeak() - before);
  }
  CountPeak(state, most);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Bytes(dir).size()));
}

void BareParse(benchmark::State& state) {
  const std::string bytes = Bytes(ServerFor(state));
  std::uint64_t most = 0;
  for (auto _ : state) {
    const std::uint64_t before = HeapBytesHeld();
    TakeHeapPeak();
    try {
      benchmark::DoNotOptimize(nlohmann::json::parse(bytes));
    } catch (const nlohmann::json::parse_error&) {
    }
    most = std::max(most, TakeHeapPeak() - before);
  }
  CountPeak(state, most);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

// Each size, and the costliest files.
void Sizes(benchmark::internal::Benchmark* b) {
  b->Args({200, 20})->Args({10000, 1000})->Args({Largest, 0})->Args({Refused, 0});
  b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BareParse)->Apply(Sizes);
BENCHMARK(ReadConfigBench)->Name("ReadConfig")->Apply(Sizes);

std::string SizeName(const std::string& args) {
  if (args.rfind(std::to_string(Largest) + "/", 0) == 0) return "largest accepted";
  if (args.rfind(std::to_string(Refused) + "/", 0) == 0) return "costliest refused";
  return args;
}

// ReadConfig beside the bare parse of the same file, per size.
void PrintRatios(const BenchmarkRuns& runs) {
  struct Figures {
    double time = 0, peak = 0;
  };
  std::map<std::string, Figures> bare, read;
  for (const auto& run : runs) {
    const std::string name = run.benchmark_name();
    const std::string size = SizeName(name.substr(name.find('/') + 1));
    auto& figures = (name.rfind("BareParse", 0) == 0 ? bare : read)[size];
    figures.time = run.GetAdjustedRealTime();
    figures.peak = run.counters.at("peak_MiB");
  }
  std::printf("\n%-18s %14s %14s %8s %14s %14s\n", "species/foods", "bare parse us",
              "ReadConfig us", "ratio", "bare parse MiB", "ReadConfig MiB");
  for (const auto& [size, figures] : read) {
    const Figures& b = bare[size];
    std::printf("%-18s %14.1f %14.1f %8.2f %14.1f %14.1f\n", size.c_str(), b.time, figures.time,
                figures.time / b.time, b.peak, figures.peak);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int status = RunBenchmarks(argc, argv, PrintRatios);
  for (const auto& [size, dir] : ServerDirs()) std::filesystem::remove_all(dir);
  return status;
}
