#pragma once

#include <string>
#include <vector>

class SongFile;

// The channel edits a command applies to a loaded song before it writes or plays it:
// --priority C=P, --polyphony C=N, --mute C, --solo C, --remove C, --duplicate S=D, --vibra C
// and --add-vibra, in the order given. process and render take the same ones.
namespace cli {

struct EditOption {
    std::string name;
    std::string value;
};

// Consumes args[i] (and its value) when it is one of the edit options, appending it to
// `edits`; true when it was.
bool ParseEditOption(const std::vector<std::string>& args, std::size_t& i,
                     std::vector<EditOption>& edits);
// Applies the edits as the program makes them, through ChannelCommands; an edit the program
// would not offer throws UsageError.
void ApplyEdits(SongFile& song, const std::vector<EditOption>& edits);

} // namespace cli
