// ReadConfig on generated files, beside parsing the same bytes with the JSON library alone.
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "bench/Main.h"
#include "plugin/config/ConfigFile.h"
#include "plugin/lifecycle/Lifecycle.h"
#include "sandbox/host/Runtime.h"

namespace {

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

std::map<std::pair<int, int>, std::string>& ServerDirs() {
  static std::map<std::pair<int, int>, std::string> dirs;
  return dirs;
}

// A server folder holding a generated config.json, made once per size.
const std::string& ServerWith(int species, int foods) {
  auto& dir = ServerDirs()[{species, foods}];
  if (dir.empty()) {
    dir = (std::filesystem::temp_directory_path() /
           fmt::format("nestkeep-bench-{}-{}-{}", getpid(), species, foods))
              .string();
    std::filesystem::create_directories(std::filesystem::path(ConfigPath(dir)).parent_path());
    std::ofstream(ConfigPath(dir)) << MakeConfig(species, foods);
  }
  return dir;
}

std::string Bytes(const std::string& dir) {
  std::ifstream in(ConfigPath(dir), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void ReadConfigBench(benchmark::State& state) {
  const std::string& dir =
      ServerWith(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  Sandbox::SetCurrentDir(dir);
  PluginLogger() = std::make_shared<spdlog::logger>("Nestkeep");
  for (auto _ : state) {
    if (!ReadConfig()) state.SkipWithError("ReadConfig failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Bytes(dir).size()));
}

void BareParse(benchmark::State& state) {
  const std::string bytes =
      Bytes(ServerWith(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))));
  for (auto _ : state) benchmark::DoNotOptimize(nlohmann::json::parse(bytes));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

BENCHMARK(BareParse)->Args({200, 20})->Args({10000, 1000})->Unit(benchmark::kMicrosecond);
BENCHMARK(ReadConfigBench)
    ->Name("ReadConfig")
    ->Args({200, 20})
    ->Args({10000, 1000})
    ->Unit(benchmark::kMicrosecond);

// ReadConfig beside the bare parse of the same file, per size.
void PrintRatios(const BenchmarkRuns& runs) {
  std::map<std::string, double> bare, read;
  for (const auto& run : runs) {
    const std::string name = run.benchmark_name();
    const std::string size = name.substr(name.find('/') + 1);
    (name.rfind("BareParse", 0) == 0 ? bare : read)[size] = run.GetAdjustedRealTime();
  }
  std::printf("\n%-16s %14s %14s %8s\n", "species/foods", "bare parse us", "ReadConfig us",
              "ratio");
  for (const auto& [size, time] : read)
    std::printf("%-16s %14.1f %14.1f %8.2f\n", size.c_str(), bare[size], time, time / bare[size]);
}

}  // namespace

int main(int argc, char** argv) {
  const int status = RunBenchmarks(argc, argv, PrintRatios);
  for (const auto& [size, dir] : ServerDirs()) std::filesystem::remove_all(dir);
  return status;
}
