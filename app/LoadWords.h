#pragma once

#include "song/LoadReport.h"

#include <QString>

#include <vector>

// What loading left out, in the program's words from the string table, joined by ", ".
QString LeftOutText(const std::vector<LoadReport::LeftOut>& leftOut);
