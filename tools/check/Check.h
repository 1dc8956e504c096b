// Checking one config file: the module's verdict, every problem found on the way, and what the
// module makes of a file it loads.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "plugin/config/ConfigFile.h"
#include "plugin/hooks/Forecast.h"
#include "tools/check/Problems.h"

struct CheckOptions {
  std::optional<double> maturation;  // seconds from birth to grown up
};

struct FileReport {
  std::string file;  // as given, escaped as printable text
  enum class Verdict { Loads, Refused, CannotOpen } verdict = Verdict::Refused;
  std::string cannot_open;  // why, in the system's words
  // With their places: when refused, first the failure the module stops at, whose message is the
  // line it logs; then the others by place.
  std::vector<Problem> problems;
  std::map<std::string, std::size_t> omitted;  // kinds with more problems than kept: how many more
  std::size_t errors = 0, warnings = 0;        // kept or not
  // A file the parser gives up on: where, for only what comes before can be checked.
  std::optional<TextPlace> read_up_to;
  // What the module makes of a file it loads, with the forecast of each species in its order.
  std::optional<ConfigContents> contents;
  bool walk_given = false;
  std::vector<ImprintingForecast> forecasts;

  // 0 loads, 1 refused, 2 cannot be opened.
  int Status() const;
};

FileReport CheckFile(const std::string& path, const CheckOptions& options);
