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
  // Where the value at fault starts, as LINE:COLUMN (a member that is not there: the object that
  // lacks it; a parse error: where the parser stopped), and that value's path.
  std::string place;
  std::string path;
  std::string message;      // the module's line, without its time and logger
  std::uintmax_t size = 0;  // the file made this large
};

inline const std::vector<RefusedConfig>& RefusedConfigs() {
  static const std::vector<RefusedConfig> cases = {
      {"a file one byte over 4 MiB", "{}", "1:1", "(top level)",
       "config.json is larger than 4 MiB (4194305 bytes)", (4 << 20) + 1},
      // The module reads nothing of these; its verdict, and so the checker's, is that they are too
      // deep, at the first level too many.
      {"nested too deep", AfterGeneral(R"("Footlist": )" + std::string(600, '[')), "2:524",
       "Footlist/0/0/0/.../0/0/0/0",
       "config.json is nested deeper than 512 levels of arrays and objects"},
      {"nested too deep and never closed",
       R"({"General": {}, "Notes": )" + std::string(1000000, '[') + std::string(1000000, ']') + "}",
       "1:537", R"("Notes"/0/0/0/.../0/0/0/0)",
       "config.json is nested deeper than 512 levels of arrays and objects"},
      // Parsing: where the parser stopped. The first message holds braces, which a logger that
      // took the text as a format pattern would choke on.
      {"empty file", "", "1:1", "(top level)",
       P101 + "1, column 1: syntax error while parsing value - unexpected end of input; "
              "expected '[', '{', or a literal"},
      {"unclosed object", "{\"General\": {}\n", "2:1", "(top level)",
       P101 + "2, column 1: syntax error while parsing object - unexpected end of input; "
              "expected '}'"},
      {"trailing comma", R"({"General": {},})", "1:16", "(top level)",
       P101 + "1, column 16: syntax error while parsing object key - unexpected '}'; expected "
              "string literal"},
      {"value missing", "{\"General\": {},\n \"Dinolist\": {\"A\": }}", "2:20", R"(Dinolist/"A")",
       P101 + "2, column 20: syntax error while parsing value - unexpected '}'; expected '[', "
              "'{', or a literal"},
      {"number too large", AfterGeneral(R"("Dinolist": {"A": {"CuddleIntervalTime": 1e999}})"),
       "2:42", R"(Dinolist/"A"/CuddleIntervalTime)",
       "[json.exception.out_of_range.406] number overflow parsing '1e999'"},
      // A byte of no whole character shows as \xNN in the line.
      {"mark after a blank", " \xEF\xBB\xBF{}", "1:2", "(top level)",
       P101 +
           "1, column 2: syntax error while parsing value - invalid literal; last read: ' \\xEF'"},
      {"mark given twice", "\xEF\xBB\xBF\xEF\xBB\xBF{}", "1:4", "(top level)",
       P101 + "1, column 4: syntax error while parsing value - invalid literal; last read: "
              "'\xEF\xBB\xBF\\xEF'"},
      {"a UTF-16 file", std::string("\xFF\xFE{\0}\0", 6), "1:1", "(top level)",
       P101 + "1, column 1: syntax error while parsing value - invalid literal; last read: "
              "'\\xFF'"},
      // The document is not an object.
      {"top-level array", "\n  []", "2:3", "(top level)", E306 + "array"},
      {"top-level null", "null", "1:1", "(top level)", E306 + "null"},
      // Footlist.
      {"number among foods", AfterGeneral(R"("Footlist": ["T'/A'", 5])"), "2:23", "Footlist/1",
       E302 + "string, but is number"},
      {"lone number as foods", AfterGeneral(R"("Footlist": 5)"), "2:13", "Footlist",
       E302 + "string, but is number"},
      {"object of booleans as foods", AfterGeneral(R"("Footlist": {"a": true})"), "2:19",
       R"(Footlist/"a")", E302 + "string, but is boolean"},
      {"food without apostrophe", AfterGeneral(R"("Footlist": ["Berry"])"), "2:14", "Footlist/0",
       R"(Footlist element "Berry" is not of the form Type'Path')"},
      {"empty food", AfterGeneral(R"("Footlist": ["T'/A'", ""])"), "2:23", "Footlist/1",
       R"(Footlist element "" is not of the form Type'Path')"},
      {"food with nothing after the apostrophe", AfterGeneral(R"("Footlist": ["Blueprint'"])"),
       "2:14", "Footlist/0", R"(Footlist element "Blueprint'" is not of the form Type'Path')"},
      {"food quoting a quote", AfterGeneral(R"("Footlist": ["Be\"rry"])"), "2:14", "Footlist/0",
       R"(Footlist element "Be\"rry" is not of the form Type'Path')"},
      // A species value.
      {"species value a string", AfterGeneral(R"("Dinolist": {"A": "fast"})"), "2:19",
       R"(Dinolist/"A")", E305 + "string"},
      {"species value an array", AfterGeneral(R"("Dinolist": {"A": [1]})"), "2:19",
       R"(Dinolist/"A")", E305 + "array"},
      {"species value null", AfterGeneral(R"("Dinolist": {"A": null})"), "2:19",
       R"(Dinolist/"A"/CuddleIntervalTime)", E302 + "number, but is null"},
      {"species without increase",
       AfterGeneral("\"Dinolist\": {\n  \"A\": {\"CuddleIntervalTime\": 1}}"), "3:8",
       R"(Dinolist/"A"/CuddleIncreasePercent)", E302 + "number, but is null"},
      {"interval a string",
       AfterGeneral(
           R"("Dinolist": {"A": {"CuddleIntervalTime": "5", "CuddleIncreasePercent": 0.1}})"),
       "2:42", R"(Dinolist/"A"/CuddleIntervalTime)", E302 + "number, but is string"},
      {"increase an array",
       AfterGeneral(R"("Dinolist": {"A": {"CuddleIntervalTime": 1, "CuddleIncreasePercent": []}})"),
       "2:70", R"(Dinolist/"A"/CuddleIncreasePercent)", E302 + "number, but is array"},
      {"interval read before increase",
       AfterGeneral(
           R"("Dinolist": {"A": {"CuddleIncreasePercent": {}, "CuddleIntervalTime": "5"}})"),
       "2:71", R"(Dinolist/"A"/CuddleIntervalTime)", E302 + "number, but is string"},
      {"second species bad",
       AfterGeneral("\"Dinolist\": {\"A\": {" + Species +
                    "},\n \"B\": {\"CuddleIntervalTime\": {}}}"),
       "3:30", R"(Dinolist/"B"/CuddleIntervalTime)", E302 + "number, but is object"},
      {"interval key in lower case",
       AfterGeneral(
           R"("Dinolist": {"A": {"cuddleIntervalTime": 1, "CuddleIncreasePercent": 0.1}})"),
       "2:19", R"(Dinolist/"A"/CuddleIntervalTime)", E302 + "number, but is null"},
      // Dinolist not an object.
      {"array of species", AfterGeneral(R"("Dinolist": [{)" + Species + "}]"), "2:13", "Dinolist",
       "[json.exception.invalid_iterator.207] cannot use key() for non-object iterators"},
      {"array of numbers", AfterGeneral(R"("Dinolist": [5])"), "2:14", "Dinolist/0",
       E305 + "number"},
      {"array of empty objects", AfterGeneral(R"("Dinolist": [{}])"), "2:14",
       "Dinolist/0/CuddleIntervalTime", E302 + "number, but is null"},
      {"lone string", AfterGeneral(R"("Dinolist": "A")"), "2:13", "Dinolist", E305 + "string"},
      // General.
      {"no General", "\n{\"Dinolist\": {\"A\": {" + Species + "}}, \"Footlist\": [\"T'/A'\"]}",
       "2:1", "General", E306 + "null"},
      {"General in lower case", R"({"general": {}})", "1:1", "General", E306 + "null"},
      {"General an array", R"({"General": [], "General": {}})", "1:13", "General", E306 + "array"},
      {"walk setting a string", "{\"General\": {\n  \"ReplaceCuddleTypeWalk\": \"yes\"}}", "2:28",
       "General/ReplaceCuddleTypeWalk", E302 + "boolean, but is string"},
      {"walk setting a number", R"({"General": {"ReplaceCuddleTypeWalk": 1}})", "1:39",
       "General/ReplaceCuddleTypeWalk", E302 + "boolean, but is number"},
      // The place is found as the parser reads: names with escapes, strings that hold brackets
      // and quotes, a byte-order mark counted in the columns.
      {"found past strings and escapes",
       "\xEF\xBB\xBF{\"Notes\": \"}{\\\"[\", \"General\": {},\n \"Dinolist\": {\"\\u0041\\u00e9\": "
       "{\"CuddleIntervalTime\": 1, \"CuddleIncreasePercent\": \"1\"}}}",
       "2:82", "Dinolist/\"A\xC3\xA9\"/CuddleIncreasePercent", E302 + "number, but is string"},
  };
  return cases;
}
