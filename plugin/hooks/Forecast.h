// The imprinting forecast of a listed species: how many completed cuddles, and how much world time,
// a newborn baby needs to reach full imprinting under the module's own rules (ImprintingRules.h,
// the interval in seconds as FindSpecies gives it). nestkeep-check and the sandbox's demonstration
// both show this one computation, so they never disagree.
#pragma once

#include <cstdint>
#include <string>

#include "plugin/config/Config.h"

struct ImprintingForecast {
  enum class Outcome {
    Full,      // full imprinting after cuddles, at seconds
    NoGain,    // an increase of 0 or less: no cuddle adds anything
    Stalls,    // the increase is too small to move the quality past stalls_at in 32 bits
    NeverDue,  // the interval in seconds is infinite: no request ever falls due
  };
  Outcome outcome = Outcome::Full;
  std::uint64_t cuddles = 0;  // to full imprinting; when it stalls, those that still add something
  double seconds = 0;         // from birth to full imprinting
  float stalls_at = 0;
};

// From no imprinting: each request falls due one interval after the last (at once when the
// interval is 0 or less), and each completed cuddle adds the gain AddedImprintingQuality gets.
ImprintingForecast ForecastImprinting(const SpeciesEntry& entry);

// Whether a baby that grows up maturation seconds after its birth reaches full imprinting first.
inline bool ReachesFullWithin(const ImprintingForecast& forecast, double maturation) {
  return forecast.outcome == ImprintingForecast::Outcome::Full && forecast.seconds <= maturation;
}

// A span of world time as people read it, rounded to the minute: "45 min", "2h 00m", "3d 08h".
std::string DurationText(double seconds);
