// nestkeep-check's command line: reads the arguments, checks each file, writes the report, and
// gives the exit status.
#pragma once

#include <string>
#include <vector>

int RunChecker(const std::vector<std::string>& args);
