#include "cli/SongLoading.h"

#include <iostream>

namespace cli {

bool LoadForCli(SongFile& song, const std::string& path, const SongSwitches& switches) {
    song.switches = switches;
    song.SetPath(path);
    song.LoadSongFile(path, SongReader::FileTitle(path));
    switch (song.lastLoad.status) {
    case LoadReport::Status::CannotOpen:
        std::cerr << "quellor-cli: cannot open '" << path << "': " << song.lastLoad.error << "\n";
        return false;
    case LoadReport::Status::NotSmf:
        std::cerr << "quellor-cli: '" << path << "' is not a Standard MIDI File\n";
        return false;
    case LoadReport::Status::Loaded:
        break;
    }
    return true;
}

} // namespace cli
