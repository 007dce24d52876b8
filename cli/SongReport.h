#pragma once

#include "song/SongFile.h"

#include <ostream>
#include <string>

namespace cli {

// Prints what the channel view shows of a loaded song: as a readable table, or as one JSON
// object.
void PrintSongReport(std::ostream& out, const SongFile& song, const std::string& path, bool json);

} // namespace cli
