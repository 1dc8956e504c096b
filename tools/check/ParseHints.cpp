// Why a parse failed: each rule reads the library's message and the text around where the parser
// stopped; the first that fits names the cause.
#include <cctype>
#include <cstdlib>
#include <optional>

#include "plugin/engine/Printable.h"
#include "tools/check/Hints.h"

using nlohmann::json;

namespace {

constexpr std::size_t None = std::string_view::npos;

bool Has(std::string_view message, std::string_view part) {
  return message.find(part) != std::string_view::npos;
}

bool IsWordByte(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '+' || c == '-';
}

// The last byte before offset that is not a blank, or None.
std::size_t Before(std::string_view text, std::size_t offset) {
  while (offset > 0)
    if (!TextWalk::IsBlank(text[--offset])) return offset;
  return None;
}

// The number, literal or word that holds the byte at offset, or ends right before it.
struct Token {
  std::size_t start, end;
};
Token TokenAt(std::string_view text, std::size_t offset) {
  if ((offset >= text.size() || !IsWordByte(text[offset])) && offset > 0 &&
      IsWordByte(text[offset - 1]))
    --offset;
  Token token{offset, offset};
  while (token.start > 0 && IsWordByte(text[token.start - 1])) --token.start;
  while (token.end < text.size() && IsWordByte(text[token.end])) ++token.end;
  return token;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

std::string Where(std::string_view text, std::size_t offset) {
  const TextPlace place = PlaceAt(text, offset);
  return std::to_string(place.line) + ":" + std::to_string(place.column);
}

// The opening quote of the string that ends, or breaks off, at offset: strings hold no raw line
// break, so it is on the same line.
std::size_t StringStart(std::string_view text, std::size_t offset) {
  for (std::size_t i = offset; i-- > 0 && text[i] != '\n';)
    if (text[i] == '"' && (i == 0 || text[i - 1] != '\\')) return i;
  return offset;
}

std::optional<ParseCause> Encoding(std::string_view text, std::size_t stopped) {
  if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF"))
    return ParseCause{0, "utf16", "the file is saved as UTF-16; save it as UTF-8"};
  if (text.size() >= 2 && (text[0] == '\0') != (text[1] == '\0'))
    return ParseCause{0, "utf16",
                      "the file is saved as UTF-16 (without a byte-order mark); save it as UTF-8"};
  // The first byte of the line that does not start a well-formed sequence.
  const std::size_t line = text.rfind('\n', stopped);
  for (std::size_t i = line == None ? 0 : line + 1; i <= stopped && i < text.size();) {
    const std::size_t length = Unicode::DecodeUtf8(text, i).length;
    if (length > 0) {
      i += length;
    } else {
      std::string byte;
      AppendHexBytes(byte, text.substr(i, 1));
      return ParseCause{i, "not-utf8",
                        "the byte " + byte +
                            " is not UTF-8; the file looks saved as Latin-1 or Windows-1252: "
                            "save it as UTF-8"};
    }
  }
  return std::nullopt;
}

std::optional<ParseCause> InAString(std::string_view text, std::size_t stopped,
                                    const std::string& message) {
  if (Has(message, "control character U+000A") || Has(message, "control character U+000D") ||
      Has(message, "missing closing quote")) {
    return ParseCause{stopped, "unclosed-string",
                      "the string that starts at " + Where(text, StringStart(text, stopped)) +
                          " does not end on its line: add the closing \" (a line break in a "
                          "string is written \\n)"};
  }
  if (const auto at = message.find("control character U+"); at != std::string::npos) {
    return ParseCause{stopped, "control-in-string",
                      "a string holds a control character (" + message.substr(at + 18, 6) +
                          ") as it is: write it escaped, such as \\t for a tab, or remove it"};
  }
  if (Has(message, "forbidden character after backslash")) {
    std::size_t backslash = stopped;
    while (backslash > 0 && text[backslash] != '\\') --backslash;
    return ParseCause{backslash, "backslash",
                      "a backslash starts an escape in a JSON string: write / in object paths, "
                      "such as /Game/Foods/Berries.Berries (or \\\\ for a backslash itself)"};
  }
  return std::nullopt;
}

std::optional<ParseCause> NotJson(std::string_view text, std::size_t stopped) {
  if (stopped >= text.size()) return std::nullopt;
  if (text[stopped] == '/' && stopped + 1 < text.size() &&
      (text[stopped + 1] == '/' || text[stopped + 1] == '*')) {
    return ParseCause{stopped, "comment",
                      "JSON has no comments: remove it, or keep the note in a key of its own, "
                      "such as \"_comment\": \"...\", which the module ignores"};
  }
  if (text[stopped] == '\'') {
    const std::size_t close = text.find('\'', stopped + 1);
    const std::string word = close != None && close - stopped < 64
                                 ? std::string(text.substr(stopped + 1, close - stopped - 1))
                                 : "General";
    return ParseCause{stopped, "single-quotes",
                      "JSON strings take double quotes: write " + QuotedText(word) + ", not '" +
                          PrintableText(word) + "'"};
  }
  const Token token = TokenAt(text, stopped);
  const std::string word = Lower(text.substr(token.start, token.end - token.start));
  const std::string bare = word.starts_with('-') || word.starts_with('+') ? word.substr(1) : word;
  if (bare.starts_with("nan") || bare.starts_with("inf")) {
    const std::string name = bare.starts_with("nan") ? "NaN" : "Infinity";
    return ParseCause{token.start, "not-a-number",
                      name +
                          " is not a number JSON can hold: write a number, such as 8 for "
                          "CuddleIntervalTime or 0.1 for CuddleIncreasePercent"};
  }
  return std::nullopt;
}

// Characters that look like JSON's own but are not: what a word processor, a web page or a chat
// program puts in text copied from it.
std::optional<ParseCause> LookAlike(std::string_view text, std::size_t stopped) {
  const std::string_view rest = text.substr(std::min(stopped, text.size()));
  for (const char* quote : {"\xE2\x80\x9C", "\xE2\x80\x9D", "\xE2\x80\x98", "\xE2\x80\x99"}) {
    if (rest.starts_with(quote)) {
      return ParseCause{stopped, "curly-quotes",
                        "a curly quote, as word processors write them: JSON takes the plain "
                        "double quote \"; edit the file in a plain-text editor"};
    }
  }
  if (rest.starts_with("\xEF\xBB\xBF")) {
    return ParseCause{stopped, "misplaced-mark",
                      "a byte-order mark (\\xEF\\xBB\\xBF), which the module skips only as the "
                      "file's very first bytes: remove it"};
  }
  for (std::string_view space : {"\xC2\xA0", "\xE2\x80\x8B", "\xE3\x80\x80"}) {
    if (!rest.starts_with(space)) continue;
    std::string bytes;
    AppendHexBytes(bytes, space);
    return ParseCause{stopped, "odd-space",
                      "a space that is no ordinary space (" + bytes +
                          "), as web pages and some editors put in: replace it with an ordinary "
                          "space"};
  }
  return std::nullopt;
}

std::optional<ParseCause> Punctuation(std::string_view text, std::size_t stopped,
                                      const std::string& message) {
  if (Has(message, "unexpected ','")) {
    const std::size_t previous = Before(text, stopped);
    if (previous != None && (text[previous] == ',' || text[previous] == '[' ||
                             text[previous] == '{' || text[previous] == ':'))
      return ParseCause{stopped, "stray-comma", "a comma with no value before it: remove it"};
  }
  if (Has(message, "expected ':'")) {
    return ParseCause{stopped, "missing-colon",
                      "a key and its value are written \"Key\": value, with a colon between "
                      "them"};
  }
  if (Has(message, "parsing object key - invalid literal") && stopped < text.size() &&
      std::isalpha(static_cast<unsigned char>(text[stopped]))) {
    const Token word = TokenAt(text, stopped);
    return ParseCause{stopped, "unquoted-key",
                      "a key is written in double quotes: write " +
                          QuotedText(text.substr(word.start, word.end - word.start))};
  }
  if (Has(message, "unexpected number literal") && Has(message, "expected string literal")) {
    const Token number = TokenAt(text, stopped);
    const std::size_t comma = number.start - 1;
    if (number.start > 1 && text[comma] == ',' &&
        std::isdigit(static_cast<unsigned char>(text[comma - 1]))) {
      const Token whole = TokenAt(text, comma - 1);
      const std::string example = std::string(text.substr(whole.start, comma - whole.start)) + "." +
                                  std::string(text.substr(number.start, number.end - number.start));
      return ParseCause{
          comma, "decimal-comma",
          "a comma in a number: JSON numbers use a decimal point: write " + PrintableText(example)};
    }
  }
  if (Has(message, "unexpected '}'") || Has(message, "unexpected ']'")) {
    const std::size_t comma = Before(text, stopped);
    if (comma != None && text[comma] == ',') {
      return ParseCause{comma, "trailing-comma",
                        "a comma after the last member: JSON has none before a closing } or ]; "
                        "remove it"};
    }
  }
  const bool between = Has(message, "; expected '}'") || Has(message, "; expected ']'");
  const bool value = Has(message, "unexpected string literal") ||
                     Has(message, "unexpected number literal") || Has(message, "unexpected true") ||
                     Has(message, "unexpected false") || Has(message, "unexpected null") ||
                     Has(message, "unexpected '{'") || Has(message, "unexpected '['");
  if (between && value) {
    std::size_t start = stopped;
    if (Has(message, "unexpected string literal"))
      start = StringStart(text, stopped);
    else if (text[stopped] != '{' && text[stopped] != '[')
      start = TokenAt(text, stopped).start;
    const std::size_t previous = Before(text, start);
    return ParseCause{start, "missing-comma",
                      "a comma is missing before this, after the value that ends at " +
                          Where(text, previous == None ? 0 : previous)};
  }
  if (Has(message, "unexpected end of input")) {
    return ParseCause{stopped, "unclosed",
                      "the file ends before every { and [ in it is closed: a } or ] is missing"};
  }
  return std::nullopt;
}

}  // namespace

ParseCause ExplainParseFailure(std::string_view text, std::size_t stopped,
                               const std::exception& error) {
  const std::string message = error.what();
  if (dynamic_cast<const json::out_of_range*>(&error)) {
    return {TokenAt(text, stopped).start, "number-too-large",
            "this number is too large to read: CuddleIntervalTime is in minutes and "
            "CuddleIncreasePercent a fraction of full imprinting"};
  }
  std::string_view content = text.starts_with("\xEF\xBB\xBF") ? text.substr(3) : text;
  if (content.find_first_not_of(" \t\r\n") == std::string_view::npos) {
    return {0, "empty-file",
            "the file is empty or holds only blanks: the smallest config the module takes is "
            "{\"General\": {}}"};
  }
  if (auto cause = Encoding(text, stopped)) return *cause;
  if (auto cause = InAString(text, stopped, message)) return *cause;
  if (auto cause = NotJson(text, stopped)) return *cause;
  if (auto cause = LookAlike(text, stopped)) return *cause;
  if (auto cause = Punctuation(text, stopped, message)) return *cause;
  return {stopped, "syntax-error", ""};
}

std::string WhichPlaceToTrust(const std::string& message, TextPlace place) {
  const std::size_t at = message.find(" at line ");
  if (at == std::string::npos) return "";
  char* end = nullptr;
  const unsigned long line = std::strtoul(message.c_str() + at + 9, &end, 10);
  if (std::string_view(end).substr(0, 9) != ", column ") return "";
  const unsigned long column = std::strtoul(end + 9, nullptr, 10);
  if (line == place.line && column == place.column) return "";
  return "the parser's own \"line " + std::to_string(line) + ", column " + std::to_string(column) +
         "\" is where it gave up reading; the mistake is at " + std::to_string(place.line) + ":" +
         std::to_string(place.column);
}

bool ExplainBound(Problem& problem, const std::exception& error, bool& at_key) {
  // Real configs are kilobytes: a file past a bound is most likely not the config meant, or made
  // by a program gone wrong.
  static const struct {
    std::string_view message;
    const char* code;
    bool key;
    std::string hint;
  } bounds[] = {
      {ConfigTooLarge, "too-large", false,
       "a config is a few kilobytes; the module reads files of up to " +
           std::to_string(MaxConfigBytes >> 20) + " MiB: is this the right file?"},
      {TooManySpecies, "too-many-species", true,
       "the module takes at most " + std::to_string(MaxSpecies) +
           " species; this is the first past them: list only the species of this server"},
      {TooManyFoods, "too-many-foods", false,
       "the module takes at most " + std::to_string(MaxFoods) +
           " foods; this is the first past them: list each food once, or a few times to draw it "
           "more often"},
      {SpeciesNameTooLong, "species-name-too-long", true,
       "a species is named by its name tag, a word or two; the module takes names of up to " +
           std::to_string(MaxSpeciesNameBytes) + " bytes"},
      {FoodTooLong, "food-too-long", false,
       "a food is a type word and an object path, such as "
       "Blueprint'/Game/Foods/Berries.Berries'; the module takes foods of up to " +
           std::to_string(MaxFoodBytes) + " bytes"},
  };
  const std::string_view message = error.what();
  for (const auto& bound : bounds) {
    if (!message.starts_with(bound.message)) continue;
    problem.code = bound.code;
    problem.hint = bound.hint;
    at_key = bound.key;
    return true;
  }
  return false;
}
