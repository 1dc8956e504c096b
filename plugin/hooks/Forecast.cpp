// The forecast walks a baby's quality cuddle by cuddle with the detours' own arithmetic. A tiny
// increase takes tens of millions of cuddles, so where every step is provably the same the walk
// jumps over a run of them at once: within one binade of floats the sum quality + increase
// rounds to the same step every time, except that a tie can round the first step the other way.
// So after two equal steps in one binade, every later step there is equal too, for as long as the
// sum stays in the binade and the gain is not cut at full.
#include "plugin/hooks/Forecast.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "plugin/hooks/ImprintingRules.h"

namespace {

// Increases at least this large reach full within a few thousand cuddles: no jumps needed.
constexpr float JumpBelow = 1.0f / 1024;

// The distance between two floats next to quality (quality > 0).
double Ulp(float quality) {
  int exponent = 0;
  std::frexp(quality, &exponent);
  return std::max(std::ldexp(1.0, exponent - std::numeric_limits<float>::digits),
                  static_cast<double>(std::numeric_limits<float>::denorm_min()));
}

// The binade [low, 2 low) that holds quality (quality > 0).
double BinadeTop(float quality) {
  int exponent = 0;
  std::frexp(quality, &exponent);
  return std::ldexp(1.0, exponent);
}

// How many further steps of step from quality are certain to be plain additions of increase that
// round to step and leave imprinting incomplete: 0 when that cannot be told.
std::uint64_t StepsAhead(float quality, float step, float increase) {
  const double q = quality, d = step, u = Ulp(quality), top = BinadeTop(quality);
  // The sum of the last of them stays below the binade's top by more than half a float's rounding.
  // In the binade below full that also keeps the gain from being cut, and the quality reached two
  // floats short of full, outside the completion tolerance.
  const double room = top - u / 2 - increase - q;
  if (!(room > 0)) return 0;
  const double steps = std::floor(room / d) - 1;  // one short, for the division's rounding
  return steps > 1 ? static_cast<std::uint64_t>(steps) : 0;
}

}  // namespace

ImprintingForecast ForecastImprinting(const SpeciesEntry& entry) {
  using Outcome = ImprintingForecast::Outcome;
  ImprintingForecast forecast;
  const float interval = IntervalSeconds(entry);
  if (!(interval < std::numeric_limits<float>::infinity())) {
    forecast.outcome = Outcome::NeverDue;
    return forecast;
  }
  const float increase = entry.CuddleIncreasePercent;
  if (increase <= 0) {
    forecast.outcome = Outcome::NoGain;
    return forecast;
  }
  float quality = 0;
  float last_step = 0;
  int run = 0;  // equal steps in a row, all within the current binade
  while (!IsImprintingComplete(quality)) {
    const float next = quality + CutGain(quality, increase);
    if (!(next > quality)) {
      forecast.outcome = Outcome::Stalls;
      forecast.stalls_at = quality;
      return forecast;
    }
    const bool same_binade = quality > 0 && BinadeTop(quality) == BinadeTop(next);
    const float step = next - quality;  // exact within one binade
    run = !same_binade ? 0 : run > 0 && step == last_step ? run + 1 : 1;
    last_step = step;
    quality = next;
    ++forecast.cuddles;
    if (run >= 2 && increase < JumpBelow) {
      const std::uint64_t ahead = StepsAhead(quality, step, increase);
      quality = static_cast<float>(quality + static_cast<double>(ahead) * step);
      forecast.cuddles += ahead;
    }
  }
  // Each request falls due one interval after the last completed cuddle; an interval of 0 or less
  // makes it due at once. The product is exact: a float times a count below 2^29.
  forecast.seconds = static_cast<double>(forecast.cuddles) * std::max(0.0, double{interval});
  return forecast;
}

std::string DurationText(double seconds) {
  const double minutes = std::floor(seconds / 60 + 0.5);
  // Past a million days the hours no longer mean anything.
  if (!(minutes < 1440.0 * 1e6)) return "over a million days";
  const auto whole = static_cast<long long>(minutes);
  auto two = [](long long value) { return (value < 10 ? "0" : "") + std::to_string(value); };
  if (whole < 60) return std::to_string(whole) + " min";
  if (whole < 2 * 1440) return std::to_string(whole / 60) + "h " + two(whole % 60) + "m";
  return std::to_string(whole / 1440) + "d " + two(whole / 60 % 24) + "h";
}
