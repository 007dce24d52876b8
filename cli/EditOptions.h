#pragma once

#include "song/SongFile.h"

#include <string>
#include <vector>

// The channel edits process and check take (--priority CH=P, --polyphony CH=N, --mute CH,
// --solo CH, --remove CH, --duplicate SRC=DST, --vibra CH, --add-vibra), applied left to
// right as the program applies them.
namespace cli {

struct Edit {
    std::string name;
    std::string value;
};

// Consumes args[i] (and its value) when it is an edit option and appends it to `edits`;
// true when it was.
bool ParseEditOption(const std::vector<std::string>& args, std::size_t& i,
                     std::vector<Edit>& edits);
// Applies one edit as the program does it; throws UsageError for what the program would not
// offer.
void ApplyEdit(SongFile& song, const Edit& edit);

} // namespace cli
