// Keys the module does not read, found in the text itself: the parsed document keeps only what the
// module reads.
#pragma once

#include <cstddef>
#include <string_view>

#include "tools/check/Problems.h"

// Warns about every key of the document, of "General" and of a species that the module ignores,
// with the key it most likely stands for; keys starting with "$" or "_" (such as "$schema", which
// editors read, and "_comment") are free for notes. Only the text before end is read.
void WarnAboutUnknownKeys(std::string_view text, std::size_t end, Problems& problems);
