// Reading engine strings back as UTF-8.
#include "plugin/engine/Strings.h"
#include "plugin/engine/Unicode.h"
#include "plugin/host/Host.h"

// Species keys in config.json are real UTF-8, so a name tag must come out as real UTF-8 too for the
// two to match: a surrogate pair is joined into one code point, and half a pair is no character.
std::string FStringToUtf8(const FString* s) {
  if (!s || !s->data) return std::string();
  return Unicode::Utf16ToUtf8(std::u16string_view(s->data));
}

void FNameToFString(const FName* name, FString* out) {
  GetFunction<GameFunctions::NameToString>(GameNames::NameToString)(name, out);
}
