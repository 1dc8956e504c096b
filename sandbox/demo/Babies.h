// The demonstration's babies and how they are raised: the game requests cuddles at their due times
// and the player completes each at once, until the baby is fully imprinted, grows up, or has taken
// as many cuddles as the demonstration allows one baby.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "plugin/hooks/Forecast.h"

namespace Demo {

inline constexpr float Maturation = 5 * 86400;  // long enough for the game alone to finish
inline constexpr std::size_t ShownName = 32;    // bytes of a species' name on the display

struct Style {
  bool terminal;
  const char* full;
  const char* empty;
  const char* bold;
  const char* dim;
  const char* green;
  const char* reset;
};

// Colours and blocks on a terminal, plain characters in a file or a pipe.
Style MakeStyle();

// One baby: its species, and, when the config lists it, what the forecast says of it.
struct Baby {
  std::string species;
  std::string shown;  // the species as the display shows it
  std::optional<ImprintingForecast> forecast;
};

// Outcome of raising one baby.
struct Raised {
  int cuddles = 0;
  double full_at = -1;  // world time of full imprinting; -1 when it did not get there
};

// A span of world time, or for -1 that the baby grew up first.
std::string Duration(double seconds);

// Raises one baby of each kind, all in one world, in the game as it stands (with or without the
// module). Prints each completed cuddle up to a bound and each baby's last one, and why a listed
// baby ends short of full imprinting; with quiet, only each baby's last cuddle.
std::vector<Raised> RaiseBabies(const std::vector<Baby>& babies, const Style& style, bool quiet);

}  // namespace Demo
