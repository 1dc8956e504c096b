// The benchmarks' main: Google Benchmark's console output, then a summary table made from the
// runs, such as the ratio of each case to its baseline.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <functional>
#include <string_view>
#include <vector>

using BenchmarkRuns = std::vector<benchmark::BenchmarkReporter::Run>;

// Colour as the library's own reporter would choose it: --benchmark_color=true|false|auto (also
// yes/no, 1/0, always/never), and on a terminal only when the flag is absent or auto.
inline bool ColourWanted(int argc, char** argv) {
  std::string_view value = "auto";
  constexpr std::string_view Flag = "--benchmark_color=";
  for (int i = 1; i < argc; ++i)
    if (std::string_view arg = argv[i]; arg.substr(0, Flag.size()) == Flag)
      value = arg.substr(Flag.size());
  if (value == "true" || value == "yes" || value == "1" || value == "always") return true;
  if (value == "false" || value == "no" || value == "0" || value == "never") return false;
  return isatty(STDOUT_FILENO) != 0;
}

inline int RunBenchmarks(int argc, char** argv,
                         const std::function<void(const BenchmarkRuns&)>& summarize) {
  class Reporter : public benchmark::ConsoleReporter {
   public:
    using ConsoleReporter::ConsoleReporter;
    void ReportRuns(const std::vector<Run>& runs) override {
      ConsoleReporter::ReportRuns(runs);
      for (const Run& run : runs)
        if (run.run_type == Run::RT_Iteration) iterations.push_back(run);
    }
    BenchmarkRuns iterations;
  } reporter(ColourWanted(argc, argv) ? benchmark::ConsoleReporter::OO_Defaults
                                      : benchmark::ConsoleReporter::OO_Tabular);

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  summarize(reporter.iterations);
  return 0;
}
