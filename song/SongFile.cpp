#include "song/SongFile.h"
#include "song/AtomicFile.h"

bool SongFile::LoadFile(const std::string& path) {
    return LoadSongFile(path) == LoadResult::Loaded;
}

bool SongFile::SaveFile(const std::string& path) {
    lastError.clear();
    return WriteFileAtomically(
        path, [this](ByteSink& sink) { return WriteSongChannel(sink, -1) == 1; }, lastError);
}
