// The imprinting arithmetic of a listed species: when imprinting counts as complete, and the gain a
// completed cuddle gets, cut at full. Pure functions over 32-bit floats: the detours apply them to
// a creature, and the imprinting forecast (nestkeep-check, the sandbox's demonstration) to a baby's
// whole upbringing, so that both always agree. A NaN fails every comparison, which decides what it
// gives.
#pragma once

#include <cmath>

inline constexpr float FullImprinting = 1.0f;
inline constexpr float NoGain = 0.0f;
// Quality within this of full counts as complete: once there, the next cuddle request waits for
// the creature's whole maturation time instead of the species' interval.
inline constexpr float CompletionTolerance = 1e-7f;

inline bool IsImprintingComplete(float quality) {
  return std::fabs(quality - FullImprinting) < CompletionTolerance;
}

// The new quality UpdateImprintingQuality is given: the current one plus the increase, never past
// full.
inline float CutQuality(float quality, float increase) {
  const float sum = increase + quality;
  return sum < FullImprinting ? sum : FullImprinting;
}

// The amount AddedImprintingQuality is given: the increase, or what is left to full when that is
// less; nothing at or above full.
inline float CutGain(float quality, float increase) {
  if (!(quality < FullImprinting)) return NoGain;
  const float room = FullImprinting - quality;
  return room >= increase ? increase : room;
}
