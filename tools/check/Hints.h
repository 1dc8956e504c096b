// Plain words on why the module refuses a file, for the mistakes people make most, and where the
// cause is: the JSON library's own text names what it expected, often a byte or a line after the
// mistake itself.
#pragma once

#include <cstddef>
#include <exception>
#include <string>
#include <string_view>

#include "plugin/config/ConfigFile.h"
#include "tools/check/Problems.h"

// A parse that failed: the byte the mistake is at, its kind and a hint.
struct ParseCause {
  std::size_t offset;
  std::string code;
  std::string hint;
};

// Why a parse of text failed that stopped at the byte at offset with error.
ParseCause ExplainParseFailure(std::string_view text, std::size_t stopped,
                               const std::exception& error);

// Where the library's text places a parse failure ("at line 4, column 0"), when it does and that is
// not place: a sentence that says which to trust.
std::string WhichPlaceToTrust(const std::string& message, TextPlace place);

// Fills in the kind and the hint of a build step's failure at problem's path, moving it to the
// cause where that lies above; doc is the document the step read.
void ExplainBuildFailure(Problem& problem, const std::exception& error, const nlohmann::json& doc);
