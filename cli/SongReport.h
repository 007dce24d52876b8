#pragma once

#include "song/SongFile.h"
#include "song/SpMidiCheck.h"

#include <ostream>
#include <string>
#include <vector>

namespace cli {

// Prints what the channel view shows of a loaded song: as a readable table, or as one JSON
// object; `findings`, when given, end the JSON object as its "findings" array.
void PrintSongReport(std::ostream& out, const SongFile& song, const std::string& path, bool json,
                     const std::vector<SpMidiFinding>* findings = nullptr);

} // namespace cli
