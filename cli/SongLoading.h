#pragma once

#include "song/SongFile.h"

#include <string>

namespace cli {

// Loads `path` with `switches` as the program does; on a file that cannot be opened or is
// not a Standard MIDI File prints the reason on stderr and returns false.
bool LoadForCli(SongFile& song, const std::string& path, const SongSwitches& switches);

} // namespace cli
