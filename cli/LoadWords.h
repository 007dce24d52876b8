#pragma once

#include "song/LoadReport.h"

#include <string>
#include <vector>

namespace cli {

// What loading left out, in the words the command-line tool prints: one text per entry.
std::string LeftOutText(const LoadReport::LeftOut& what);
// All of them, joined by ", ".
std::string LeftOutList(const std::vector<LoadReport::LeftOut>& leftOut);

} // namespace cli
