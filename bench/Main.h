// The benchmarks' main: Google Benchmark's console output, then a summary table made from the
// runs, such as the ratio of each case to its baseline.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <vector>

using BenchmarkRuns = std::vector<benchmark::BenchmarkReporter::Run>;

inline int RunBenchmarks(int argc, char** argv,
                         const std::function<void(const BenchmarkRuns&)>& summarize) {
  class Reporter : public benchmark::ConsoleReporter {
   public:
    void ReportRuns(const std::vector<Run>& runs) override {
      ConsoleReporter::ReportRuns(runs);
      for (const Run& run : runs)
        if (run.run_type == Run::RT_Iteration) iterations.push_back(run);
    }
    BenchmarkRuns iterations;
  } reporter;

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  summarize(reporter.iterations);
  return 0;
}
