#include "tools/check/Run.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "plugin/engine/Unicode.h"
#include "tools/check/Check.h"
#include "tools/check/Diff.h"
#include "tools/check/JsonReport.h"
#include "tools/check/TextReport.h"

namespace {

constexpr const char* Usage =
    "usage: nestkeep-check [--format text|json] [--maturation DURATION] [--] [PATH...]\n"
    "       nestkeep-check [--format text|json] [--maturation DURATION] --diff RUNNING NEW\n"
    "       nestkeep-check --help | --version\n"
    "\n"
    "Reads Nestkeep config.json files the way the module does and shows what the module would\n"
    "make of each: every species with its cuddle interval, imprinting increase and imprinting\n"
    "forecast, every food as the engine will be asked to load it, and what becomes of walk\n"
    "requests. Shows every problem it finds, where it is and what to do about it; of a file the\n"
    "module refuses, first the line the module would log.\n"
    "\n"
    "PATH defaults to ./ArkApi/Plugins/Nestkeep/config.json, the file a server started in the\n"
    "current directory reads.\n"
    "\n"
    "Options:\n"
    "  --format text|json     text for people (the default), or one JSON document on standard\n"
    "                         output for scripts and editors\n"
    "  --maturation DURATION  how long babies take to grow up, such as 90m, 36h, 3d or 1d12h:\n"
    "                         warns about each species that would not reach full imprinting in\n"
    "                         that time\n"
    "  --diff RUNNING NEW     what a reload from RUNNING to NEW would change; NEW is checked as\n"
    "                         on its own\n"
    "  --                     ends the options, so that a file named -x.json can be given\n"
    "\n"
    "Exit status, the worst of all files:\n"
    "  0  the module would load the file (there may be warnings)\n"
    "  1  the module would not load it\n"
    "  2  a file cannot be opened, the report cannot be written, or the arguments are wrong\n";

struct Arguments {
  bool json = false;
  bool diff = false;
  std::optional<double> maturation;
  std::vector<std::string> paths;
};

// "90m", "36h", "3d", "1d12h", "1.5h" in seconds; nothing for anything else.
std::optional<double> ReadDuration(const std::string& text) {
  double seconds = 0;
  const char* at = text.c_str();
  if (*at == '\0') return std::nullopt;
  while (*at != '\0') {
    if (!(*at >= '0' && *at <= '9')) return std::nullopt;
    char* unit = nullptr;
    const double value = std::strtod(at, &unit);
    const std::string_view units = "smhd";
    const auto which = units.find(*unit);
    if (*unit == '\0' || which == std::string_view::npos) return std::nullopt;
    static constexpr double Seconds[] = {1, 60, 3600, 86400};
    seconds += value * Seconds[which];
    at = unit + 1;
  }
  if (!(seconds > 0) || !std::isfinite(seconds)) return std::nullopt;
  return seconds;
}

int Wrong(const std::string& why) {
  std::fprintf(stderr, "nestkeep-check: %s (see --help)\n", why.c_str());
  return 2;
}

// Reads the arguments; an exit status when they say to stop here.
std::optional<int> ReadArguments(const std::vector<std::string>& args, Arguments& arguments) {
  bool options = true;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!options || arg.size() < 2 || arg[0] != '-') {
      arguments.paths.push_back(Unicode::ShownPath(arg));
    } else if (arg == "--") {
      options = false;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(Usage, stdout);
      return 0;
    } else if (arg == "--version") {
      std::printf("nestkeep-check %s\n", NESTKEEP_VERSION);
      return 0;
    } else if (arg == "--diff") {
      arguments.diff = true;
    } else if (arg == "--format" || arg == "--maturation") {
      if (i + 1 == args.size()) return Wrong(arg + " needs a value");
      const std::string& value = args[++i];
      if (arg == "--format") {
        if (value != "text" && value != "json") return Wrong("unknown format " + value);
        arguments.json = value == "json";
      } else {
        arguments.maturation = ReadDuration(value);
        if (!arguments.maturation)
          return Wrong("not a duration: " + value + "; give one such as 90m, 36h or 3d");
      }
    } else {
      return Wrong("unknown option " + arg);
    }
  }
  if (arguments.diff && arguments.paths.size() != 2)
    return Wrong("--diff takes two files, the running config and the new one");
  if (arguments.paths.empty()) arguments.paths.push_back(Unicode::ShownPath(ConfigPath(".")));
  return std::nullopt;
}

// A verdict nobody could read is no verdict: a full disk or a closed pipe must not pass for 0.
int Written(int status) {
  const bool written = std::fflush(stdout) == 0 && !std::ferror(stdout);
  if (!written || std::fflush(stderr) != 0 || std::ferror(stderr)) {
    std::fprintf(stderr, "nestkeep-check: the report could not be written\n");
    return 2;
  }
  return status;
}

}  // namespace

int RunChecker(const std::vector<std::string>& args) {
  Arguments arguments;
  if (const std::optional<int> stop = ReadArguments(args, arguments)) return Written(*stop);
  const CheckOptions check{arguments.maturation};
  const TextOptions text{arguments.maturation, !arguments.diff};
  int status = 0;
  if (arguments.diff) {
    const FileReport running = CheckFile(arguments.paths[0], check);
    const FileReport next = CheckFile(arguments.paths[1], check);
    const ConfigDiff diff = DiffConfigs(running.contents.value_or(ConfigContents{}),
                                        next.contents.value_or(ConfigContents{}));
    status = next.Status();
    if (arguments.json) {
      JsonWriter w(stdout);
      w.Open("", '{');
      w.Open("files", '[');
      WriteJsonFile(w, {&next, &running, &diff}, arguments.maturation);
      w.Close(']');
      w.Count("exit_status", static_cast<std::uint64_t>(status));
      w.Close('}');
    } else {
      WriteTextDiff(running, next, diff, stdout);
      WriteTextReport(next, text, stdout, stderr);
    }
    return Written(status);
  }
  // Each file is checked and its report written before the next is read, so that only one file
  // is held at a time.
  JsonWriter w(stdout);
  if (arguments.json) {
    w.Open("", '{');
    w.Open("files", '[');
  }
  for (const std::string& path : arguments.paths) {
    const FileReport report = CheckFile(path, check);
    status = std::max(status, report.Status());
    if (arguments.json)
      WriteJsonFile(w, {&report}, arguments.maturation);
    else
      WriteTextReport(report, text, stdout, stderr);
    if (std::ferror(stdout) || std::ferror(stderr)) break;
  }
  if (arguments.json) {
    w.Close(']');
    w.Count("exit_status", static_cast<std::uint64_t>(status));
    w.Close('}');
  }
  return Written(status);
}
