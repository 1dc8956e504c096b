// The report as people read it. The summary and the forecast go to standard output; each problem
// to standard error, one a line, starting the way compilers start theirs, with where in the file it
// is about ("PATH:LINE:COLUMN: KEYPATH: "), followed by a "hint:" line at the same place when there
// is one.
#pragma once

#include <cstdio>
#include <optional>

#include "tools/check/Check.h"
#include "tools/check/Diff.h"

struct TextOptions {
  std::optional<double> maturation;
  bool summary = true;  // the species, the foods, the walk setting and the forecast
};

void WriteTextReport(const FileReport& report, const TextOptions& options, std::FILE* out,
                     std::FILE* err);

// What a reload from running to next would change, for a next the module loads.
void WriteTextDiff(const FileReport& running, const FileReport& next, const ConfigDiff& diff,
                   std::FILE* out);

// How a forecast reads: "full after 8 cuddles, 2h 00m", "never: ...".
std::string ForecastText(const ImprintingForecast& forecast, const SpeciesEntry& entry);
