// What of the text the module does not read, found in the text itself (the parsed document keeps
// only what the module reads): keys it ignores, and text after the end of the config.
#pragma once

#include <cstddef>
#include <string_view>

#include "tools/check/Problems.h"

// Warns about every key of the document, of "General" and of a species that the module ignores,
// with the key it most likely stands for; keys starting with "$" or "_" (such as "$schema", which
// editors read, and "_comment") are free for notes. Only the text before end is read; when that is
// all of it, also warns about text after the config's first value, which the module never reads.
void WarnAboutUnread(std::string_view text, std::size_t end, Problems& problems);
