// Engine strings: FString built from narrow and wide text, grown and freed through the engine's
// allocator, and read back as UTF-8; an FName turned into an FString.
//
// Every allocator call and conversion resolves its game function by name at the time of the call.
#pragma once

#include <cstdint>
#include <string>

#include "plugin/host/GameTypes.h"

// Sets a new capacity for a string whose count has just been raised above it, and moves the buffer.
void GrowFString(FString& s);
// The capacity GrowFString chooses for a count and the capacity held so far.
std::int32_t GrowthCapacity(std::int32_t count, std::int32_t capacity);

// UTF-8 of the units up to the first zero unit. A surrogate pair becomes one four-byte sequence;
// a lone surrogate becomes U+FFFD.
std::string FStringToUtf8(const FString* s);

// Asks the game to write the name's text into out, which must be empty.
void FNameToFString(const FName* name, FString* out);
