// Every way the module refuses a file it has opened: the line it logs, and where nestkeep-check
// places the value at fault. The module's read and the checker are tested on the same files, so
// that what the checker says the module would log is what the module logs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline const std::string P101 = "[json.exception.parse_error.101] parse error at line ";
inline const std::string E302 = "[json.exception.type_error.302] type must be ";
inline const std::string E305 =
    "[json.exception.type_error.305] cannot use operator[] with a string argument with ";
inline const std::string E306 = "[json.exception.type_error.306] cannot use value() with ";
// A species with both settings, as a member list.
inline const std::string Species = R"("CuddleIntervalTime": 1, "CuddleIncreasePercent": 0.1)";

// A document of General and the given members, one a line from line 2 on.
inline std::string AfterGeneral(const std::string& members) {
  return "{\"General\": {},\n" + members + "\n}";
}

struct RefusedConfig {
  const char* what;
  std::string text;
  // Where nestkeep-check places the cause, as LINE:COLUMN (a value at fault: where it starts; a
  // member that is not there: the object that lacks it; a parse error: the mistake itself, which
  // the parser may only notice later), and the path of the value there.
  std::string place;
  std::string path;
  std::string message;  // the module's line, without its time and logger
  // Words the checker's hint on the cause holds; none: no hint.
  std::vector<std::string> hint = {};
  std::uintmax_t size = 0;  // the file made this large
};

inline const std::vector<RefusedConfig>& RefusedConfigs() {
  static const std::vector<RefusedConfig> cases = {
      {"a file one byte over 4 MiB",
       "{}",
       "1:1",
       "(top level)",
       "config.json is larger than 4 MiB (4194305 bytes)",
       {"a config is a few kilobytes"},
       (4 << 20) + 1},
      // Past a bound the module reads no further: the checker points at the first value past it.
      {"a species name past the longest",
       AfterGeneral(R"("Dinolist": {"A": {}, ")" + std::string(1025, 'K') + R"(": {}})"),
       "2:23",
       R"(Dinolist/")" + std::string(64, 'K') + R"("...)",
       "config.json has a species name longer than 1024 bytes in Dinolist",
       {"named by its name tag"}},
      {"a food past the longest",
       AfterGeneral(R"("Footlist": ["T'/A'", "T'/)" + std::string(1022, 'x') + R"('"])"),
       "2:23",
       "Footlist/1",
       "config.json has a food longer than 1024 bytes in Footlist",
       {"a type word and an object path"}},
      {"one food past the most",
       [] {
         std::string foods = R"("Footlist": [)";
         for (int i = 0; i < 50000; ++i) foods += R"("T'/A'", )";
         return AfterGeneral(foods + R"("T'/B'"])");
       }(),
       "2:450014",
       "Footlist/50000",
       "config.json lists more than 50000 foods in Footlist",
       {"at most 50000 foods"}},
      // The module reads nothing of these; its verdict, and so the checker's, is that they are too
      // deep, at the first level too many.
      {"nested too deep", AfterGeneral(R"("Footlist": )" + std::string(600, '[')), "2:524",
       "Footlist/0/0/0/.../0/0/0/0",
       "config.json is nested deeper than 512 levels of arrays and objects"},
      {"nested too deep and never closed",
       R"({"General": {}, "Notes": )" + std::string(1000000, '[') + std::string(1000000, ']') + "}",
       "1:537", R"("Notes"/0/0/0/.../0/0/0/0)",
       "config.json is nested deeper than 512 levels of arrays and objects"},
      // Parsing: the mistake itself, which the parser may only notice later, and a hint that
      // says which place to trust where the parser's own text names another. The first message
      // holds braces, which a logger that took the text as a format pattern would choke on.
      {"empty file",
       "",
       "1:1",
       "(top level)",
       P101 + "1, column 1: syntax error while parsing value - unexpected end of input; "
              "expected '[', '{', or a literal",
       {"the file is empty", R"({"General": {}})"}},
      {"unclosed object",
       "{\"General\": {}\n",
       "2:1",
       "(top level)",
       P101 + "2, column 1: syntax error while parsing object - unexpected end of input; "
              "expected '}'",
       {"a } or ] is missing"}},
      {"trailing comma",
       R"({"General": {},})",
       "1:15",
       "(top level)",
       P101 + "1, column 16: syntax error while parsing object key - unexpected '}'; expected "
              "string literal",
       {"a comma after the last member", "remove it",
        "the parser's own \"line 1, column 16\" is where it gave up reading; the mistake is at "
        "1:15"}},
      {"missing comma",
       AfterGeneral("\"Dinolist\": {\"A\": {" + Species + "}\n \"B\": {}}"),
       "3:2",
       "Dinolist",
       P101 + "3, column 4: syntax error while parsing object - unexpected string literal; "
              "expected '}'",
       {"a comma is missing before this, after the value that ends at 2:73"}},
      {"decimal comma",
       AfterGeneral("\"Dinolist\": {\"A\": {\"CuddleIntervalTime\": 8,\n  "
                    "\"CuddleIncreasePercent\": 0,1}}"),
       "3:29",
       R"(Dinolist/"A"/CuddleIncreasePercent)",
       P101 + "3, column 30: syntax error while parsing object key - unexpected number literal; "
              "expected string literal",
       {"use a decimal point: write 0.1"}},
      {"unclosed string",
       AfterGeneral("\"Footlist\": [\"T'/A.A'\n]"),
       "2:22",
       "Footlist/0",
       P101 + "3, column 0: syntax error while parsing value - invalid string: control character "
              "U+000A (LF) must be escaped to \\u000A or \\n; last read: '\"T'/A.A'<U+000A>'",
       {"the string that starts at 2:14 does not end on its line",
        "the parser's own \"line 3, column 0\""}},
      {"comment",
       "{\"General\": {}, // the walk setting\n \"Dinolist\": {}}",
       "1:17",
       "(top level)",
       P101 + "1, column 17: syntax error while parsing object key - invalid literal; last read: "
              "'\"General\": {}, /'; expected string literal",
       {"JSON has no comments", "\"_comment\""}},
      {"block comment",
       "/* spring */ {\"General\": {}}",
       "1:1",
       "(top level)",
       P101 + "1, column 1: syntax error while parsing value - invalid literal; last read: '/'",
       {"JSON has no comments"}},
      // Slips of typing and of copying from a word processor or a web page.
      {"stray comma",
       "{\"General\": {},, \"Dinolist\": {}}",
       "1:16",
       "(top level)",
       P101 + "1, column 16: syntax error while parsing object key - unexpected ','; expected "
              "string literal",
       {"a comma with no value before it: remove it"}},
      {"missing colon",
       "{\"General\" {}}",
       "1:12",
       "General",
       P101 + "1, column 12: syntax error while parsing object separator - unexpected '{'; "
              "expected ':'",
       {"with a colon between them"}},
      {"unquoted key",
       "{General: {}}",
       "1:2",
       "(top level)",
       P101 + "1, column 2: syntax error while parsing object key - invalid literal; last read: "
              "'{G'; expected string literal",
       {"a key is written in double quotes: write \"General\""}},
      {"curly quotes",
       "{\xE2\x80\x9CGeneral\xE2\x80\x9D: {}}",
       "1:2",
       "(top level)",
       P101 + "1, column 2: syntax error while parsing object key - invalid literal; last read: "
              "'{\\xE2'; expected string literal",
       {"a curly quote", "the plain double quote \""}},
      {"non-breaking space",
       "{\"General\":\xC2\xA0{}}",
       "1:12",
       "General",
       P101 + "1, column 12: syntax error while parsing value - invalid literal; last read: "
              "'\"General\":\\xC2'",
       {"a space that is no ordinary space (\\xC2\\xA0)", "replace it with an ordinary space"}},
      {"single quotes",
       "{'General': {}}",
       "1:2",
       "(top level)",
       P101 + "1, column 2: syntax error while parsing object key - invalid literal; last read: "
              "'{''; expected string literal",
       {"double quotes: write \"General\", not 'General'"}},
      {"a single backslash in a food path",
       AfterGeneral(R"("Footlist": ["T'\Game\A.A'"])"),
       "2:17",
       "Footlist/0",
       P101 + "2, column 18: syntax error while parsing value - invalid string: forbidden "
              "character after backslash; last read: '\"T'\\G'",
       {"write / in object paths"}},
      {"NaN",
       AfterGeneral(R"("Dinolist": {"A": {"CuddleIntervalTime": NaN}})"),
       "2:42",
       R"(Dinolist/"A"/CuddleIntervalTime)",
       P101 + "2, column 42: syntax error while parsing value - invalid literal; last read: "
              "'\"CuddleIntervalTime\": N'",
       {"NaN is not a number"}},
      {"minus Infinity",
       AfterGeneral(R"("Dinolist": {"A": {"CuddleIntervalTime": -Infinity}})"),
       "2:42",
       R"(Dinolist/"A"/CuddleIntervalTime)",
       P101 + "2, column 43: syntax error while parsing value - invalid number; expected digit "
              "after '-'; last read: '-I'",
       {"Infinity is not a number"}},
      // Not UTF-8: the byte itself, never printed as it stands.
      {"a Latin-1 byte in a name",
       AfterGeneral("\"Dinolist\": {\"Gl\xE9mmerwing\": {}}"),
       "2:17",
       "Dinolist",
       P101 + "2, column 18: syntax error while parsing object key - invalid string: ill-formed "
              "UTF-8 byte; last read: '\"Gl\\xE9m'; expected string literal",
       {"the byte \\xE9 is not UTF-8", "save it as UTF-8"}},
      {"UTF-16 with its byte-order mark",
       std::string("\xFF\xFE{\0}\0", 6),
       "1:1",
       "(top level)",
       P101 + "1, column 1: syntax error while parsing value - invalid literal; last read: '\\xFF'",
       {"saved as UTF-16", "save it as UTF-8"}},
      {"UTF-16 without a byte-order mark",
       std::string("{\0}\0", 4),
       "1:1",
       "(top level)",
       P101 + "1, column 2: syntax error while parsing object key - unexpected end of input; "
              "expected string literal",
       {"saved as UTF-16", "save it as UTF-8"}},
      {"value missing", "{\"General\": {},\n \"Dinolist\": {\"A\": }}", "2:20", R"(Dinolist/"A")",
       P101 + "2, column 20: syntax error while parsing value - unexpected '}'; expected '[', "
              "'{', or a literal"},
      {"number too large",
       AfterGeneral(R"("Dinolist": {"A": {"CuddleIntervalTime": 1e999}})"),
       "2:42",
       R"(Dinolist/"A"/CuddleIntervalTime)",
       "[json.exception.out_of_range.406] number overflow parsing '1e999'",
       {"too large to read"}},
      // A byte of no whole character shows as \xNN in the line.
      {"mark after a blank",
       " \xEF\xBB\xBF{}",
       "1:2",
       "(top level)",
       P101 +
           "1, column 2: syntax error while parsing value - invalid literal; last read: ' \\xEF'",
       {"a byte-order mark", "only as the file's very first bytes: remove it"}},
      {"mark given twice",
       "\xEF\xBB\xBF\xEF\xBB\xBF{}",
       "1:4",
       "(top level)",
       P101 + "1, column 4: syntax error while parsing value - invalid literal; last read: "
              "'\xEF\xBB\xBF\\xEF'",
       {"a byte-order mark"}},
      // The document is not an object.
      {"top-level array", "\n  []", "2:3", "(top level)", E306 + "array", {"one JSON object"}},
      {"top-level null", "null", "1:1", "(top level)", E306 + "null", {"one JSON object"}},
      // Footlist.
      {"number among foods",
       AfterGeneral(R"("Footlist": ["T'/A'", 5])"),
       "2:23",
       "Footlist/1",
       E302 + "string, but is number",
       {"a food is a text in double quotes"}},
      {"lone number as foods",
       AfterGeneral(R"("Footlist": 5)"),
       "2:13",
       "Footlist",
       E302 + "string, but is number",
       {"a list of foods in [ ]"}},
      {"object of booleans as foods",
       AfterGeneral(R"("Footlist": {"a": true})"),
       "2:19",
       R"(Footlist/"a")",
       E302 + "string, but is boolean",
       {"a food is a text in double quotes"}},
      {"food without apostrophe",
       AfterGeneral(R"("Footlist": ["Berry"])"),
       "2:14",
       "Footlist/0",
       R"(Footlist element "Berry" is not of the form Type'Path')",
       {"Blueprint'/Game/"}},
      {"empty food",
       AfterGeneral(R"("Footlist": ["T'/A'", ""])"),
       "2:23",
       "Footlist/1",
       R"(Footlist element "" is not of the form Type'Path')",
       {"Blueprint'/Game/"}},
      {"food with nothing after the apostrophe",
       AfterGeneral(R"("Footlist": ["Blueprint'"])"),
       "2:14",
       "Footlist/0",
       R"(Footlist element "Blueprint'" is not of the form Type'Path')",
       {"Blueprint'/Game/"}},
      {"food quoting a quote",
       AfterGeneral(R"("Footlist": ["Be\"rry"])"),
       "2:14",
       "Footlist/0",
       R"(Footlist element "Be\"rry" is not of the form Type'Path')",
       {"Blueprint'/Game/"}},
      // A species value.
      {"species value a string",
       AfterGeneral(R"("Dinolist": {"A": "fast"})"),
       "2:19",
       R"(Dinolist/"A")",
       E305 + "string",
       {"a species is an object of its two settings"}},
      {"species value an array",
       AfterGeneral(R"("Dinolist": {"A": [1]})"),
       "2:19",
       R"(Dinolist/"A")",
       E305 + "array",
       {"a species is an object of its two settings"}},
      {"species value null",
       AfterGeneral(R"("Dinolist": {"A": null})"),
       "2:19",
       R"(Dinolist/"A"/CuddleIntervalTime)",
       E302 + "number, but is null",
       {"CuddleIntervalTime is missing"}},
      // A member that is missing is named so, though the module's line says "null".
      {"species without increase",
       AfterGeneral("\"Dinolist\": {\n  \"A\": {\"CuddleIntervalTime\": 1}}"),
       "3:8",
       R"(Dinolist/"A"/CuddleIncreasePercent)",
       E302 + "number, but is null",
       {"CuddleIncreasePercent is missing"}},
      {"increase null",
       AfterGeneral(
           R"("Dinolist": {"A": {"CuddleIntervalTime": 1, "CuddleIncreasePercent": null}})"),
       "2:70",
       R"(Dinolist/"A"/CuddleIncreasePercent)",
       E302 + "number, but is null",
       {"null is not a number"}},
      {"interval a string",
       AfterGeneral(
           R"("Dinolist": {"A": {"CuddleIntervalTime": "5", "CuddleIncreasePercent": 0.1}})"),
       "2:42",
       R"(Dinolist/"A"/CuddleIntervalTime)",
       E302 + "number, but is string",
       {"in quotes, which makes it text: write 5 without them"}},
      {"increase an array",
       AfterGeneral(R"("Dinolist": {"A": {"CuddleIntervalTime": 1, "CuddleIncreasePercent": []}})"),
       "2:70",
       R"(Dinolist/"A"/CuddleIncreasePercent)",
       E302 + "number, but is array",
       {"CuddleIncreasePercent is a number"}},
      {"interval read before increase",
       AfterGeneral(
           R"("Dinolist": {"A": {"CuddleIncreasePercent": {}, "CuddleIntervalTime": "5"}})"),
       "2:71",
       R"(Dinolist/"A"/CuddleIntervalTime)",
       E302 + "number, but is string",
       {"write 5 without them"}},
      {"second species bad",
       AfterGeneral("\"Dinolist\": {\"A\": {" + Species +
                    "},\n \"B\": {\"CuddleIntervalTime\": {}}}"),
       "3:30",
       R"(Dinolist/"B"/CuddleIntervalTime)",
       E302 + "number, but is object",
       {"CuddleIntervalTime is a number"}},
      {"interval key in lower case",
       AfterGeneral(
           R"("Dinolist": {"A": {"cuddleIntervalTime": 1, "CuddleIncreasePercent": 0.1}})"),
       "2:19",
       R"(Dinolist/"A"/CuddleIntervalTime)",
       E302 + "number, but is null",
       {"CuddleIntervalTime is missing"}},
      // Dinolist not an object.
      {"array of species",
       AfterGeneral(R"("Dinolist": [{)" + Species + "}]"),
       "2:13",
       "Dinolist",
       "[json.exception.invalid_iterator.207] cannot use key() for non-object iterators",
       {"must be an object of species"}},
      // The cause is the list itself, where the module fails at its first element.
      {"array of numbers",
       AfterGeneral(R"("Dinolist": [5])"),
       "2:13",
       "Dinolist",
       E305 + "number",
       {"must be an object of species"}},
      {"array of empty objects",
       AfterGeneral(R"("Dinolist": [{}])"),
       "2:13",
       "Dinolist",
       E302 + "number, but is null",
       {"must be an object of species"}},
      {"lone string",
       AfterGeneral(R"("Dinolist": "A")"),
       "2:13",
       "Dinolist",
       E305 + "string",
       {"must be an object of species"}},
      // General.
      {"no General",
       "\n{\"Dinolist\": {\"A\": {" + Species + "}}, \"Footlist\": [\"T'/A'\"]}",
       "2:1",
       "General",
       E306 + "null",
       {"add \"General\": {}"}},
      {"General in lower case",
       R"({"general": {}})",
       "1:1",
       "General",
       E306 + "null",
       {"add \"General\": {}"}},
      {"General an array",
       R"({"General": [], "General": {}})",
       "1:13",
       "General",
       E306 + "array",
       {"\"General\" must be an object"}},
      {"walk setting a string",
       "{\"General\": {\n  \"ReplaceCuddleTypeWalk\": \"yes\"}}",
       "2:28",
       "General/ReplaceCuddleTypeWalk",
       E302 + "boolean, but is string",
       {"write true or false without quotes"}},
      {"walk setting a number",
       R"({"General": {"ReplaceCuddleTypeWalk": 1}})",
       "1:39",
       "General/ReplaceCuddleTypeWalk",
       E302 + "boolean, but is number",
       {"write true or false"}},
      // The place is found as the parser reads: names with escapes, strings that hold brackets
      // and quotes, a byte-order mark counted in the columns.
      {"found past strings and escapes",
       "\xEF\xBB\xBF{\"Notes\": \"}{\\\"[\", \"General\": {},\n \"Dinolist\": {\"\\u0041\\u00e9\": "
       "{\"CuddleIntervalTime\": 1, \"CuddleIncreasePercent\": \"1\"}}}",
       "2:82",
       "Dinolist/\"A\xC3\xA9\"/CuddleIncreasePercent",
       E302 + "number, but is string",
       {"write 1 without them"}},
  };
  return cases;
}
